#include "focus/FocusToggle.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

View FocusToggle::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    // A switch first shown with Focus on is drawn on at once, without a slide.
    if (!state.hasAppeared) {
        state.hasAppeared = true;
        state.visualOn.set(isOn);
    }
    const bool on = state.visualOn();
    const View track = RoundedRectangle(kTrackHeight / 2)
                           .fill(on ? Color(Palette::accent) : Color(Palette::white(0.12)))
                           .frame(kTrackWidth, kTrackHeight)
                           .accessibilityIdentifier("FocusToggle.track");
    const View knob = Circle()
                          .fill(on ? Color::white() : Color(Palette::white(0.4)))
                          .frame(kKnobDiameter, kKnobDiameter)
                          .padding(kKnobMargin)
                          .accessibilityIdentifier("FocusToggle.knob");
    return Button(action, ZStack(on ? Alignment::trailing() : Alignment::leading(), {track, knob}))
        .accessibilityLabel("Focus Mode toggle")
        .accessibilityValue(isOn ? "On" : "Off")
        .onChange(isOn, [&ctx](bool now) {
            // Reduce Motion is asked at the change, not when the switch was drawn.
            withAnimation(ctx.animation(Animation::easeOut(kSlideDuration)),
                          [&] { ctx.state.visualOn.set(now); });
        });
}

}  // namespace talvori::ui

#include "ui/Toggle.hpp"

#include "ui/Button.hpp"
#include "ui/Shape.hpp"
#include "ui/Stack.hpp"

namespace talvori::ui {

namespace {

constexpr double kDisabledOpacity = 0.5;

}  // namespace

View Toggle::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const bool value = ctx.read(isOn);
    if (!state.hasAppeared) {
        state.hasAppeared = true;
        state.visualOn.set(value);
    }
    const bool on = state.visualOn();
    const View track = RoundedRectangle(kTrackHeight / 2)
                           .fill(on ? ctx.environment().tint : Color::white(0.12))
                           .frame(kTrackWidth, kTrackHeight)
                           .accessibilityIdentifier(identifier + ".track");
    const View knob = Circle()
                          .fill(on ? Color::white() : Color::white(0.4))
                          .frame(kKnobDiameter, kKnobDiameter)
                          .padding(kKnobMargin)
                          .accessibilityIdentifier(identifier + ".knob");
    return Button([binding = isOn] { binding.set(!binding.get()); },
                  ZStack(on ? Alignment::trailing() : Alignment::leading(), {track, knob}))
        .opacity(ctx.environment().isEnabled ? 1 : kDisabledOpacity)
        .accessibilityValue(value ? "On" : "Off")
        .accessibilityToggle(value)
        .onChange(value, [&ctx](bool now) {
            // Reduce Motion is asked at the change, not when the switch was drawn.
            withAnimation(ctx.animation(Animation::easeOut(kSlideDuration)),
                          [&] { ctx.state.visualOn.set(now); });
        });
}

}  // namespace talvori::ui

#include "controlpanel/ControlPanelAppearanceSection.hpp"

#include <algorithm>
#include <string>

#include "controlpanel/ControlPanelSectionLabel.hpp"
#include "controlpanel/ControlPanelSegmentButton.hpp"
#include "controlpanel/ControlPanelSliderTrack.hpp"
#include "covers/BlurSliderNote.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/SaturatingCast.hpp"
#include "platform/desktop/Application.hpp"
#include "ui/RadioChoice.hpp"

namespace talvori::ui {

namespace {

constexpr double kMinimumOpacity = 0.1;
constexpr double kMaximumBlur = 50;
constexpr double kChevronTurn = 0.2;
const Font kRowFont = Font::system(12);

View headerRow(const std::string& title, const std::string& value, View trailing = View()) {
    return HStack({
        Text(title).font(kRowFont).foregroundColor(Palette::white80),
        Spacer(),
        Text(value).font(kRowFont.monospacedDigit()).foregroundColor(Palette::white80),
        trailing,
    });
}

}  // namespace

// ---- Mappings

double ControlPanelAppearanceSection::opacityFraction(double opacity) {
    return (opacity - kMinimumOpacity) / (1 - kMinimumOpacity);
}

double ControlPanelAppearanceSection::opacityFromFraction(double fraction) {
    return std::max(std::min(fraction * (1 - kMinimumOpacity) + kMinimumOpacity, 1.0),
                    kMinimumOpacity);
}

double ControlPanelAppearanceSection::blurFromFraction(double fraction) {
    const double radius = std::min(fraction * kMaximumBlur, kMaximumBlur);
    return radius < 0 ? 0 : radius;
}

int ControlPanelAppearanceSection::opacityPercent(double opacity) {
    // The digit keys set 0.29 for 29 %, whose product with 100 lies just below 29.
    return saturatingCast<int>(opacity * 100 + 1e-9);
}

int ControlPanelAppearanceSection::blurPixels(double blurRadius) {
    return saturatingCast<int>(blurRadius);
}

// ---- The section

View ControlPanelAppearanceSection::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const EffectType effect = viewModel->effectType();
    const bool showsColorBlock = effect == EffectType::solid && state.showingColorPicker();
    // Not clipped as a whole: the picker's ring and handle reach past its edges.
    return VStack(HorizontalAlignment::leading, 12,
                  {
                      ControlPanelSectionLabel{"APPEARANCE"},
                      effectRow(state),
                      opacityBlock(ctx),
                      showsColorBlock ? colorBlock(ctx).transition(Transition::opacity()) : View(),
                      effect == EffectType::glass ? blurBlock(state) : View(),
                  })
        .padding(EdgeInsets{14, 16, 14, 16})
        .onAppear([this, &state] { syncFromCover(state); })
        .onChange(state.showingColorPicker(), [this, &state](bool isShowing) {
            if (isShowing) syncFromCover(state);
        });
}

View ControlPanelAppearanceSection::effectRow(State& state) const {
    const EffectType effect = viewModel->effectType();
    const auto choose = [model = viewModel, &state](int index) {
        model->setEffectType(index == 0 ? EffectType::glass : EffectType::solid);
        if (index == 0) state.showingColorPicker.set(false);
    };
    // One radio group for readers, whose arrows choose and move the focus with the choice.
    auto segment = [&](const char* label, int index, bool isChosen) {
        const RadioChoice choice{.index = index,
                                 .count = 2,
                                 .isChosen = isChosen,
                                 .focusedIndex = &state.focusedEffect,
                                 .choose = choose};
        return choice.applied(
            ControlPanelSegmentButton{label, isChosen, [choose, index] { choose(index); }});
    };
    return HStack(2, {segment("GLASS", 0, effect == EffectType::glass),
                      segment("SOLID", 1, effect == EffectType::solid)})
        .padding(3)
        .background(RoundedRectangle(6).fill(Color(Palette::white4)))
        .accessibilityElement(AccessibilityChildren::contain)
        .accessibilityLabel("Effect");
}

View ControlPanelAppearanceSection::opacityBlock(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const double opacity = viewModel->opacity();
    const int percent = opacityPercent(opacity);
    const auto& model = viewModel;
    return VStack(
        6, {
               headerRow("Opacity", std::to_string(percent) + "%",
                         viewModel->effectType() == EffectType::solid ? swatchButton(ctx) : View()),
               View(ControlPanelSliderTrack{
                        opacityFraction(opacity), state.isHoveringOpacitySlider(),
                        state.isDraggingOpacitySlider(),
                        [&state](bool hovering) { state.isHoveringOpacitySlider.set(hovering); },
                        [&state, model](double fraction) {
                            state.isDraggingOpacitySlider.set(true);
                            model->setOpacity(opacityFromFraction(fraction));
                        },
                        [&state] { state.isDraggingOpacitySlider.set(false); }})
                   .accessibilityLabel("Opacity")
                   .accessibilityValue(std::to_string(percent) + " percent"),
           });
}

View ControlPanelAppearanceSection::swatchButton(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const bool isOpen = state.showingColorPicker();
    const CodableColor color = viewModel->color();
    return Button(
               [&ctx] {
                   withAnimation(ctx.animation(Animation::easeOut(kChevronTurn)), [&ctx] {
                       ctx.state.showingColorPicker.set(!ctx.state.showingColorPicker.peek());
                   });
               },
               HStack(6,
                      {
                          Image("chevron.down")
                              .font(Font::system(8, FontWeight::bold))
                              .foregroundColor(isOpen ? Palette::white48 : Palette::white27)
                              .rotationEffect(isOpen ? -180 : 0)
                              .animation(ctx.animation(Animation::easeOut(kChevronTurn)), isOpen),
                          RoundedRectangle(5)
                              .fill(Color(color.red, color.green, color.blue, color.alpha))
                              .frame(22, 22)
                              .overlay(RoundedRectangle(5).strokeBorder(
                                  Color(isOpen ? Palette::accent : Palette::white10), 1.5)),
                      })
                   .padding(Edges::vertical, 5)
                   .contentShape(Rectangle()))
        .accessibilityLabel(isOpen ? "Hide color picker" : "Show color picker");
}

View ControlPanelAppearanceSection::blurBlock(State& state) const {
    const double blur = viewModel->blurRadius();
    const int pixels = blurPixels(blur);
    const auto& model = viewModel;
    // Where the desktop blurs nothing, Glass is frosted; where it blurs at its own strength, the
    // radius changes nothing: the slider would move nothing.
    const auto note = blurSliderNote();
    const bool blurs = !note;
    return VStack(
        6,
        {
            headerRow("Blur", blurs ? std::to_string(pixels) + "px" : ""),
            View(ControlPanelSliderTrack{
                     blur / kMaximumBlur, state.isHoveringBlurSlider(),
                     state.isDraggingBlurSlider(),
                     [&state](bool hovering) { state.isHoveringBlurSlider.set(hovering); },
                     [&state, model](double fraction) {
                         state.isDraggingBlurSlider.set(true);
                         model->setBlurRadius(blurFromFraction(fraction));
                     },
                     [&state] { state.isDraggingBlurSlider.set(false); }})
                .accessibilityLabel("Blur radius")
                .accessibilityValue(std::to_string(pixels) + " pixels")
                .disabled(!blurs)
                .opacity(blurs ? 1 : 0.4),
            blurs ? View() : Text(*note).font(Font::system(11)).foregroundColor(Palette::white48),
        });
}

View ControlPanelAppearanceSection::colorBlock(ViewContext<State>& ctx) const {
    return VStack(8, {colorEntryRow(ctx), colorPicker(ctx.state), favoritesRow(ctx.state)});
}

}  // namespace talvori::ui

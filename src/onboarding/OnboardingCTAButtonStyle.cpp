#include "onboarding/OnboardingCTAButtonStyle.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

View OnboardingCTAButtonStyle::operator()(const ButtonConfiguration& configuration) const {
    const bool enabled = configuration.isEnabled;
    const Color background = !enabled                  ? kDisabledBackground
                             : configuration.isPressed ? kPressedBackground
                                                       : Color(Palette::accent);
    const Color text = enabled ? Color(Palette::ink) : kDisabledText;
    return configuration.label.font(Font::system(14, FontWeight::semibold))
        .foregroundColor(text)
        .lineLimit(1)
        .frame(kWidth, kHeight)
        .background(View(background))
        .clipShape(RoundedRectangle(kCornerRadius))
        .contentShape(RoundedRectangle(kCornerRadius));
}

}  // namespace talvori::ui

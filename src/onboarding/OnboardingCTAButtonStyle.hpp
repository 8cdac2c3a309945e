#pragma once

#include "ui/UI.hpp"

namespace talvori::ui {

// The look of the first-run window's large buttons: the title in a 240 x 40 rounded box, accent
// filled, darker while pressed, dim grey while disabled. No hover state and no animation.
struct OnboardingCTAButtonStyle {
    static constexpr double kWidth = 240;
    static constexpr double kHeight = 40;
    static constexpr double kCornerRadius = 10;
    static constexpr Color kPressedBackground = Color::rgb255(217, 142, 43);
    static constexpr Color kDisabledBackground = Color::white(0.06);
    static constexpr Color kDisabledText = Color::white(0.27);

    View operator()(const ButtonConfiguration& configuration) const;
};

}  // namespace talvori::ui

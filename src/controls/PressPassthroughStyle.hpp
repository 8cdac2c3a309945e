#pragma once

#include <functional>

#include "ui/UI.hpp"

namespace talvori::ui {

// A button style that draws the caller's label from the button's pressed state instead of the
// button's own label, so a label closure sees the press, and shrinks it slightly while pressed.
struct PressPassthroughStyle {
    static constexpr double kPressedScale = 0.97;
    static constexpr double kPressDuration = 0.1;

    std::function<View(bool isPressed)> styledLabel;

    View operator()(const ButtonConfiguration& configuration) const;
};

}  // namespace talvori::ui

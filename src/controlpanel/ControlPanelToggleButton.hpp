#pragma once

#include <functional>
#include <string>

#include "controls/LucideIcon.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// An on/off pill with an icon (PASSTHRU, LOCKED): accent content and border while on.
struct ControlPanelToggleButton {
    LucideIcon icon;
    std::string label;
    bool isActive = false;
    std::function<void()> action;

    // Fill and border for the button's state; pressed wins over hovered, and the fill is the same
    // whether the toggle is on or off.
    static Color fill(bool isHovering, bool isPressed);
    static Color border(bool isActive, bool isHovering, bool isPressed);

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui

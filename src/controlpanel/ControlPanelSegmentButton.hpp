#pragma once

#include <functional>
#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// One half of a two-way choice (the effect's GLASS and SOLID): accent-filled while chosen. Readers
// hear its label as a word.
struct ControlPanelSegmentButton {
    static constexpr double kHeight = 26;

    std::string label;
    bool isActive = false;
    std::function<void()> action;

    // The fill for the button's state; pressed wins over hovered.
    static Color fill(bool isActive, bool isHovering, bool isPressed);

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui

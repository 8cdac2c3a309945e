#pragma once

#include <functional>

#include "ui/UI.hpp"

namespace talvori::ui {

// The on/off switch at the end of the Focus card's header. It shows the state its owner passes in
// at every redraw and, when clicked, only runs the owner's action. The state can change without a
// click (Focus turns on once Accessibility is granted, or by the global shortcut); the switch
// slides to each new value.
struct FocusToggle {
    static constexpr double kSlideDuration = Toggle::kSlideDuration;
    static constexpr const char* kIdentifier = "FocusToggle";

    bool isOn;
    std::function<void()> action;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui

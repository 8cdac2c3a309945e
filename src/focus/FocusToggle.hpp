#pragma once

#include <functional>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// The on/off switch at the end of the Focus card's header. It shows the state its owner passes in
// at every redraw and, when clicked, only runs the owner's action. The state can change without a
// click (Focus turns on once Accessibility is granted, or by the global shortcut), so the drawing
// follows a copy of the state that slides to each new value.
struct FocusToggle {
    static constexpr double kTrackWidth = 36;
    static constexpr double kTrackHeight = 20;
    static constexpr double kKnobDiameter = 16;
    static constexpr double kKnobMargin = 2;
    static constexpr double kSlideDuration = 0.15;

    bool isOn;
    std::function<void()> action;

    struct State {
        bool hasAppeared = false;
        Observable<bool> visualOn{false};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui

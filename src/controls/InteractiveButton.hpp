#pragma once

#include <functional>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// A plain button whose caller draws every look of it from two flags, hovered and pressed (fill,
// tint, stroke, icon). Pressed-but-not-hovered happens when the pointer leaves a held button.
struct InteractiveButton {
    static constexpr double kHoverDuration = 0.15;

    std::function<void()> action;
    std::function<View(bool isHovering, bool isPressed)> label;

    struct State {
        Observable<bool> isHovering{false};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui

#pragma once

#include <functional>

#include "ui/UI.hpp"

namespace talvori::ui {

// The small drawn cross beside a field's key caps that clears the shortcut: faint at rest,
// brighter under the pointer, brightest while pressed. Whether it shows, and what clearing does,
// is the field's business.
struct ClearButton {
    static constexpr double kHitSide = 16;
    static constexpr double kCrossSide = 6.5;

    std::function<void()> action;

    struct State {
        Observable<bool> isHovering{false};
    };

    View body(ViewContext<State>& ctx) const;

    // The X: both diagonals of its frame.
    static Shape cross();
    // The cross's opacity for the button's pressed and hovered states.
    static double crossOpacity(bool isPressed, bool isHovering);
};

}  // namespace talvori::ui

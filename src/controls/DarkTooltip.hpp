#pragma once

#include <string>

#include "platform/core/Observation.hpp"
#include "platform/core/Task.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// A small dark bubble with `text` above `content`, shown once the pointer has rested on the
// content for a moment. The bubble never takes clicks or hover from what lies under it, and moves
// sideways as far as it must to stay whole inside its window.
//
//     DarkTooltip{"Show layout", eyeButton}
struct DarkTooltip {
    static constexpr double kShowDelay = 0.4;
    static constexpr double kFadeDuration = 0.15;
    static constexpr double kRise = 28;
    // The least room between the bubble and its window's edges.
    static constexpr double kWindowMargin = 4;

    std::string text;
    View content;

    struct State {
        Observable<bool> isVisible{false};
        bool isHovering = false;
        TaskSlot hoverTask;
        FrameReader contentFrame;
        // Measured once the bubble is laid out; 0 before.
        Observable<double> bubbleWidth{0};
    };

    View body(ViewContext<State>& ctx) const;

  private:
    View bubble(ViewContext<State>& ctx) const;
    // How far the bubble moves right (negative: left) to stay inside the window.
    static double sideShift(const State& state);
};

// `content` with a DarkTooltip of `text`.
View darkTooltip(View content, std::string text);

}  // namespace talvori::ui

#pragma once

#include <string>

#include "platform/core/Observation.hpp"
#include "platform/core/Task.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// A small dark bubble with `text` above `content`, shown once the pointer has rested on the
// content for a moment. The bubble never takes clicks or hover from what lies under it.
//
//     DarkTooltip{"Show layout", eyeButton}
struct DarkTooltip {
    static constexpr double kShowDelay = 0.4;
    static constexpr double kFadeDuration = 0.15;
    static constexpr double kRise = 28;

    std::string text;
    View content;

    struct State {
        Observable<bool> isVisible{false};
        bool isHovering = false;
        TaskSlot hoverTask;
    };

    View body(ViewContext<State>& ctx) const;

  private:
    View bubble() const;
};

// `content` with a DarkTooltip of `text`.
View darkTooltip(View content, std::string text);

}  // namespace talvori::ui

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "focus/EligibleFocusWindow.hpp"

namespace talvori {

// What one focus event does to the shade anchor, the window the dimming panel sits below.
struct ShadeAnchorDecision {
    enum class Kind {
        // The candidate is the front-most eligible window: it becomes the anchor.
        commit,
        // The current anchor is still on screen and the candidate is not in front: keep it.
        hold,
        // The current anchor is gone and the candidate is not in front: take it at once, without
        // a cross-fade.
        snapToFallback,
        // Nothing usable: change nothing.
        none,
    };

    Kind kind = Kind::none;
    // The new anchor for commit and snapToFallback, the kept one for hold.
    EligibleFocusWindow window;
    // For commit: the anchor being replaced (0 when there was none).
    std::uint32_t replacedWindowID = 0;

    bool operator==(const ShadeAnchorDecision&) const = default;

    // `windows` are the eligible windows front-most first. A candidate listed behind another
    // eligible window is never committed: the list may not have caught up with focus yet.
    static ShadeAnchorDecision resolveShadeAnchor(std::optional<std::uint32_t> candidate,
                                                  std::uint32_t currentAnchor,
                                                  const std::vector<EligibleFocusWindow>& windows);
};

}  // namespace talvori

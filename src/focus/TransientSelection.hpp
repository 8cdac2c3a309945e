#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "focus/EligibleFocusWindow.hpp"
#include "focus/TransientWindow.hpp"
#include "platform/core/Geometry.hpp"

namespace talvori {

// The windows a cross-fade covers when the anchor moves from `replaced` to `newAnchor`: those in
// front of the old anchor (itself included) that fall below the panel once it moves.
struct TransientSelection {
    static constexpr std::size_t kMaximumWindows = 8;

    // Front-most first.
    std::vector<TransientWindow> transients;
    // Windows left out by the cap.
    std::size_t omitted = 0;

    bool operator==(const TransientSelection&) const = default;

    // Empty when there is no old anchor, it is not listed, or a window concerned has no frame (no
    // partial cross-fade). Only windows that meet `panelFrame` are kept, cut to it: a small panel
    // must never darken what the big panel leaves clear. Beyond the cap the old anchor is kept
    // with the front-most others.
    static TransientSelection selectTransientWindows(
        const std::vector<EligibleFocusWindow>& windows,
        const std::unordered_map<std::uint32_t, Rect>& frames, std::uint32_t newAnchor,
        std::uint32_t replaced, const Rect& panelFrame);
};

}  // namespace talvori

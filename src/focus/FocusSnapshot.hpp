#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "focus/EligibleFocusWindow.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/desktop/WindowInfo.hpp"

namespace talvori {

// The windows on screen as Focus mode sees them at one moment: the eligible ones, front-most
// first, with their frames flipped into the global space.
struct FocusSnapshot {
    // Handed back as the caller passed it.
    std::optional<std::uint32_t> candidate;
    std::vector<EligibleFocusWindow> windows;
    // Bottom-left origin.
    std::unordered_map<std::uint32_t, Rect> frames;

    // `entries` front to back with top-left bounds; `primaryHeight` is the first screen's height.
    static FocusSnapshot make(std::optional<std::uint32_t> candidate,
                              const std::vector<WindowInfo>& entries, double primaryHeight,
                              std::int32_t ownPID);

    // Another process's normal, visible window of at least 2 x 2 points, with a number other
    // than 0; the checks run in this order and the first failure rules the entry out.
    static std::optional<EligibleFocusWindow> parseWindowInfo(const WindowInfo& entry,
                                                              std::int32_t ownPID);
    // The front-most window of process `pid`.
    static std::optional<std::uint32_t> firstWindowID(
        std::int32_t pid, const std::vector<EligibleFocusWindow>& windows);
};

}  // namespace talvori

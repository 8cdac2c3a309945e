#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Geometry.hpp"

namespace talvori {

// One entry of the window list. Every field may be missing (a window server entry can lack any of
// them or hold a value of another type); readers skip or default what they need.
struct WindowInfo {
    std::optional<std::uint32_t> number;
    std::optional<std::int32_t> ownerPID;
    std::optional<std::string> ownerName;
    std::optional<int> layer;
    std::optional<double> alpha;
    // Top-left origin of the first screen, y down.
    std::optional<Rect> bounds;
    // The window's title: our own windows always; other processes' only with the screen
    // recording grant.
    std::optional<std::string> name;
    bool isOnScreen = true;

    bool operator==(const WindowInfo&) const = default;
};

}  // namespace talvori

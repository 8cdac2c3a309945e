#pragma once

#include <optional>

#include "platform/core/Geometry.hpp"

namespace talvori {

// A region of a panel's content that reports the pointer entering and leaving it (and, when asked,
// moving in it) to the panel's event handler, whether or not the application is active.
struct TrackingArea {
    // In content coordinates; absent follows the whole visible content.
    std::optional<Rect> rect;
    bool reportsMouseMoved = true;
};

}  // namespace talvori

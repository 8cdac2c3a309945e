#pragma once

#include <cstdint>

#include "platform/core/Geometry.hpp"

namespace talvori {

// A window that is clear now and falls below the dimming panel when the anchor moves back; its
// frame is in the global screen space (bottom-left origin) and becomes a small panel's rectangle.
struct TransientWindow {
    std::uint32_t windowID = 0;
    Rect frame;

    bool operator==(const TransientWindow&) const = default;
};

}  // namespace talvori

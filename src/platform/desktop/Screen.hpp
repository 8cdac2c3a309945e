#pragma once

#include <cstdint>

#include "platform/core/Geometry.hpp"

namespace talvori {

// One display, in the global screen space (origin at the bottom left of the first screen, y up).
struct Screen {
    // Stable for as long as the display stays connected.
    std::uint32_t identifier = 0;
    Rect frame;
    // The frame less the menu bar and the dock.
    Rect visibleFrame;

    bool operator==(const Screen&) const = default;
};

}  // namespace talvori

#pragma once

#include <cstdint>

#include "platform/core/Geometry.hpp"
#include "platform/desktop/Screen.hpp"

namespace talvori {

// Where the status item stands on screen, for placing what opens under it.
struct StatusItemScreenAnchor {
    // The status button's bounds in the global space (y up).
    Rect rect;
    // The screen showing the button's window.
    Screen screen;
    // The button's own window.
    std::uint32_t window = 0;
};

}  // namespace talvori

#pragma once

#include <cstdint>

namespace talvori::freedesktop {

// A rectangle as the desktop's protocols carry it: whole pixels, origin at the top left of the
// whole screen, y down.
struct ScreenRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    bool operator==(const ScreenRect&) const = default;
};

}  // namespace talvori::freedesktop

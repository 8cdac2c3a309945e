#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

namespace talvori::freedesktop {

// Icons as the desktop's protocols carry them: ARGB words with straight (not premultiplied)
// alpha, row by row from the top left. Cairo draws premultiplied.
struct IconPixels {
    // The pixels of an ARGB32 image surface.
    static std::vector<std::uint32_t> straight(cairo_surface_t* surface);
};

}  // namespace talvori::freedesktop

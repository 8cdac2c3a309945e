#pragma once

#include <cairo.h>

#include <functional>

#include "platform/core/Geometry.hpp"

namespace talvori {

// A picture drawn on demand at its size (origin top left, y down). A template image is used as a
// mask only: the desktop tints it to suit where it is shown (the menu bar).
struct Image {
    Size size;
    bool isTemplate = false;
    std::function<void(cairo_t* context, Size size)> draw;
};

}  // namespace talvori

#pragma once

#include <cairo.h>

#include <functional>
#include <string>

#include "platform/core/Geometry.hpp"

namespace talvori {

// A picture drawn on demand at its size (origin top left, y down). A template image is used as a
// mask only: the desktop tints it to suit where it is shown (the menu bar).
struct Image {
    Size size;
    bool isTemplate = false;
    std::function<void(cairo_t* context, Size size)> draw;
    // The same picture's name among the desktop's icons, where the program installs it there:
    // desktops that draw icons themselves use it in their own colours. Empty: none.
    std::string iconName = {};
};

}  // namespace talvori

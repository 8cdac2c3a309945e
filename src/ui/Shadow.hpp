#pragma once

#include <cairo.h>

#include <functional>

#include "ui/Color.hpp"
#include "ui/ProposedSize.hpp"

namespace talvori::ui {

// Draws the shadow of what `drawContent` draws (into the context it is given, in the coordinates
// of `cr`) within `box`: its alpha, blurred by `radius` (three box blurs, close to a Gaussian),
// moved by `offset` and filled with `color`.
void drawShadow(cairo_t* cr, const Rect& box, const Color& color, double radius, Point offset,
                const std::function<void(cairo_t*)>& drawContent);

}  // namespace talvori::ui

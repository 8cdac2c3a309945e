#pragma once

#include <cairo.h>

#include <functional>
#include <optional>

#include "ui/Color.hpp"
#include "ui/ProposedSize.hpp"

namespace talvori::ui {

// Draws the shadow of what `drawContent` draws (into the context it is given, in the coordinates
// of `cr`) within `box`: its alpha, blurred by `radius` (three box blurs, close to a Gaussian),
// moved by `offset` and filled with `color`. With an `area` (device pixels of `cr`) only the part
// of the shadow that falls in it is made, pixel for pixel as the whole shadow would be;
// `drawContent` is told which part of its context that needs (its device pixels).
void drawShadow(cairo_t* cr, const Rect& box, const Color& color, double radius, Point offset,
                const std::optional<Rect>& area,
                const std::function<void(cairo_t*, const Rect& needed)>& drawContent);

}  // namespace talvori::ui

#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <optional>

#include "ui/Color.hpp"
#include "ui/ProposedSize.hpp"

namespace talvori::ui {

// A whole shadow mask kept from one drawing to the next, with what it was made for.
struct KeptShadowMask {
    std::shared_ptr<cairo_surface_t> surface;
    Rect box;
    double radius = 0;
    double scale = 0;
};

// Draws the shadow of what `drawContent` draws (into the context it is given, in the coordinates
// of `cr`) within `box`: its alpha, blurred by `radius` (three box blurs, close to a Gaussian),
// moved by `offset` and filled with `color`. With an `area` (device pixels of `cr`) only the part
// of the shadow that falls in it is made, pixel for pixel as the whole shadow would be;
// `drawContent` is told which part of its context that needs (its device pixels).
// With `kept`, the whole mask is taken from there when it was made for the same box, radius and
// scale, and otherwise made whole (whatever the area) and kept there: a view whose shadow is
// drawn again and again over an unchanged content blurs it once.
void drawShadow(cairo_t* cr, const Rect& box, const Color& color, double radius, Point offset,
                const std::optional<Rect>& area,
                const std::function<void(cairo_t*, const Rect& needed)>& drawContent,
                KeptShadowMask* kept = nullptr);

}  // namespace talvori::ui

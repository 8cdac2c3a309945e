#pragma once

#include <cairo.h>

#include <cmath>
#include <vector>

#include "ui/Host.hpp"

namespace talvori::testing {

// The pixels of a drawing of `host` at `scale` into a new picture, premultiplied ARGB, row after
// row: what the host's partial drawing puts there can be compared with a full drawing's.
inline std::vector<unsigned char> drawnPixels(ui::Host& host, double scale = 1) {
    const int width = static_cast<int>(std::ceil(host.size().width * scale));
    const int height = static_cast<int>(std::ceil(host.size().height * scale));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    host.draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const auto* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> bytes(
        data, data + static_cast<std::ptrdiff_t>(cairo_image_surface_get_stride(surface)) * height);
    cairo_surface_destroy(surface);
    return bytes;
}

}  // namespace talvori::testing

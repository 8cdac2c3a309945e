#include "platform/freedesktop/IconPixels.hpp"

#include <algorithm>

namespace talvori::freedesktop {

std::vector<std::uint32_t> IconPixels::straight(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(data + row * stride);
        for (int column = 0; column < width; ++column) {
            const std::uint32_t pixel = line[column];
            const std::uint32_t alpha = pixel >> 24;
            std::uint32_t straight = alpha << 24;
            for (const int shift : {16, 8, 0}) {
                const std::uint32_t channel = (pixel >> shift) & 0xFF;
                const std::uint32_t value =
                    alpha == 0 ? 0
                               : std::min<std::uint32_t>(255, (channel * 255 + alpha / 2) / alpha);
                straight |= value << shift;
            }
            pixels.push_back(straight);
        }
    }
    return pixels;
}

}  // namespace talvori::freedesktop

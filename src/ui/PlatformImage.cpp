#include "ui/PlatformImage.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

namespace talvori::ui {

namespace {
constexpr double kScale = 2;
constexpr int kLargestSide = 1024;
}  // namespace

Image platformImage(const talvori::Image& image) {
    // A picture without a usable size (none, negative, not a number) still gives a point.
    const auto side = [](double points) {
        return std::isfinite(points) && points >= 1 ? points : 1;
    };
    const Size size{side(image.size.width), side(image.size.height)};
    const auto pixels = [](double points) {
        return std::clamp(static_cast<int>(std::ceil(points * kScale)), 1, kLargestSide);
    };
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels(size.width), pixels(size.height));
    if (image.draw) {
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, pixels(size.width) / size.width, pixels(size.height) / size.height);
        image.draw(cr, size);
        cairo_destroy(cr);
    }
    cairo_surface_flush(surface);
    return Image(shareSurface(surface), size, image.isTemplate);
}

std::optional<talvori::Image> assetImage(std::string_view name, Size size, std::string directory) {
    auto catalog = std::make_shared<IconCatalog>(std::move(directory));
    if (!catalog->hasIcon(name)) return std::nullopt;
    return talvori::Image{size, true, [catalog, name = std::string(name)](cairo_t* cr, Size size) {
                              if (!cr) return;
                              cairo_set_source_rgb(cr, 0, 0, 0);
                              catalog->draw(cr, name, Rect({0, 0}, size));
                          }};
}

}  // namespace talvori::ui

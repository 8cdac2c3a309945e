#include "platform/x11/X11StatusIcon.hpp"

#include <algorithm>
#include <cctype>

#include "platform/x11/X11IconPixels.hpp"

namespace talvori::x11 {

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

void X11StatusIcon::draw(cairo_t* context, const Image& image, const Rect& area,
                         const Color& tint) {
    if (!image.draw || !(image.size.width > 0) || !(image.size.height > 0)) return;
    const double scale =
        std::min(area.width() / image.size.width, area.height() / image.size.height);
    const double width = image.size.width * scale;
    const double height = image.size.height * scale;
    const double x = area.minX() + (area.width() - width) / 2;
    const double y = area.minY() + (area.height() - height) / 2;
    cairo_save(context);
    if (!image.isTemplate) {
        cairo_translate(context, x, y);
        cairo_scale(context, scale, scale);
        image.draw(context, image.size);
        cairo_restore(context);
        return;
    }
    // The image's coverage, then the tint through it.
    cairo_push_group_with_content(context, CAIRO_CONTENT_ALPHA);
    cairo_translate(context, x, y);
    cairo_scale(context, scale, scale);
    image.draw(context, image.size);
    cairo_pattern_t* mask = cairo_pop_group(context);
    cairo_set_source_rgba(context, tint.red, tint.green, tint.blue, tint.alpha);
    cairo_mask(context, mask);
    cairo_pattern_destroy(mask);
    cairo_restore(context);
}

std::vector<std::uint8_t> X11StatusIcon::networkOrderPixels(const std::optional<Image>& image,
                                                            int size, const Color& tint) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* context = cairo_create(surface);
    if (image) draw(context, *image, Rect(0, 0, size, size), tint);
    cairo_destroy(context);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 4);
    for (const std::uint32_t pixel : X11IconPixels::straight(surface)) {
        for (const int shift : {24, 16, 8, 0}) {
            bytes.push_back(static_cast<std::uint8_t>((pixel >> shift) & 0xFF));
        }
    }
    cairo_surface_destroy(surface);
    return bytes;
}

Color X11StatusIcon::tintOn(const Color& background) {
    const double luminance =
        0.2126 * background.red + 0.7152 * background.green + 0.0722 * background.blue;
    return luminance < 0.5 ? kLightTint : kDarkTint;
}

Color X11StatusIcon::tintForTheme(const std::string& desktop,
                                  const std::optional<std::string>& theme) {
    if (lowercase(desktop).find("gnome") != std::string::npos) return kLightTint;
    if (!theme || theme->empty()) return kLightTint;
    return lowercase(*theme).find("dark") != std::string::npos ? kLightTint : kDarkTint;
}

}  // namespace talvori::x11

#include "platform/freedesktop/StatusIcon.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "platform/freedesktop/DesktopFiles.hpp"
#include "platform/freedesktop/IconPixels.hpp"
#include "platform/freedesktop/IconTheme.hpp"

namespace talvori::freedesktop {

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::filesystem::path ownIconFolder() {
    // The session's own folder, else the user's cache: both the user's alone, as hosts run as
    // the user.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        return std::filesystem::path(runtime) / "talvori" / "icons";
    }
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/') {
        return std::filesystem::path(cache) / "talvori" / "icons";
    }
    if (const char* home = std::getenv("HOME"); home && *home == '/') {
        return std::filesystem::path(home) / ".cache" / "talvori" / "icons";
    }
    return {};
}

bool writeFile(const std::filesystem::path& path, const char* text) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) return false;
    // Written whole beside, then renamed: a host reading meanwhile sees the old file or the new.
    const auto partial = path.string() + "." + std::to_string(::getpid()) + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    std::filesystem::rename(partial, path, error);
    return !error;
}

}  // namespace

void StatusIcon::draw(cairo_t* context, const Image& image, const Rect& area, const Color& tint) {
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

std::vector<std::uint8_t> StatusIcon::networkOrderPixels(const std::optional<Image>& image,
                                                         int size, const Color& tint) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* context = cairo_create(surface);
    if (image) draw(context, *image, Rect(0, 0, size, size), tint);
    cairo_destroy(context);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 4);
    for (const std::uint32_t pixel : IconPixels::straight(surface)) {
        for (const int shift : {24, 16, 8, 0}) {
            bytes.push_back(static_cast<std::uint8_t>((pixel >> shift) & 0xFF));
        }
    }
    cairo_surface_destroy(surface);
    return bytes;
}

Color StatusIcon::tintOn(const Color& background) {
    const double luminance =
        0.2126 * background.red + 0.7152 * background.green + 0.0722 * background.blue;
    return luminance < 0.5 ? kLightTint : kDarkTint;
}

double StatusIcon::contrast(const Color& first, const Color& second) {
    auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    auto luminance = [&](const Color& color) {
        return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) +
               0.0722 * linear(color.blue);
    };
    const double one = luminance(first);
    const double other = luminance(second);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

Color StatusIcon::tintOver(const std::vector<Color>& background) {
    double light = 0;
    double dark = 0;
    for (const Color& pixel : background) {
        light += contrast(kLightTint, pixel);
        dark += contrast(kDarkTint, pixel);
    }
    return light >= dark ? kLightTint : kDarkTint;
}

std::vector<bool> StatusIcon::coverage(const Image& image, int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* context = cairo_create(surface);
    const double side = std::min(width, height);
    draw(context, image, Rect((width - side) / 2, (height - side) / 2, side, side), Color::black());
    cairo_destroy(context);
    cairo_surface_flush(surface);
    std::vector<bool> touched;
    touched.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            touched.push_back(data[row * stride + column] != 0);
        }
    }
    cairo_surface_destroy(surface);
    return touched;
}

Color StatusIcon::tintForTheme(const std::string& desktop,
                               const std::optional<std::string>& theme) {
    if (lowercase(desktop).find("gnome") != std::string::npos) return kLightTint;
    if (!theme || theme->empty()) return kLightTint;
    return lowercase(*theme).find("dark") != std::string::npos ? kLightTint : kDarkTint;
}

std::string StatusIcon::iconThemePath() {
    const std::span files(kStatusIconFiles, kStatusIconFileCount);
    if (files.empty() || IconTheme("").find(files.front().name, 24)) return "";
    const auto folder = ownIconFolder();
    if (folder.empty()) return "";
    for (const auto& file : files) {
        const std::string name = std::string(file.name) + ".svg";
        // In the layout of the theme every host falls back to, and loose in the folder for hosts
        // that look there for icons outside any theme.
        if (!writeFile(folder / "hicolor" / "scalable" / "status" / name, file.svg) ||
            !writeFile(folder / name, file.svg)) {
            return "";
        }
    }
    return folder.string();
}

}  // namespace talvori::freedesktop

#include "platform/x11/X11ApplicationIdentities.hpp"

#include <cairo.h>
#include <librsvg/rsvg.h>
#include <unistd.h>

#include <fstream>
#include <variant>

#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11IconTheme.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11XSettings.hpp"

namespace talvori::x11 {

namespace fs = std::filesystem;

namespace {

// Larger icons than this are no icons a window means to be shown by (and would cost memory).
constexpr std::uint32_t kLargestIconSide = 1024;
// In 32-bit units: room for a few icons of 256 × 256.
constexpr std::uint32_t kIconPropertyLength = 1U << 20;
constexpr int kLargestScale = 8;

struct SurfaceFree {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::shared_ptr<cairo_surface_t>;

Surface premultiplied(const std::uint32_t* pixels, int width, int height) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height), SurfaceFree{});
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int row = 0; row < height; ++row) {
        auto* line = reinterpret_cast<std::uint32_t*>(data + row * stride);
        for (int column = 0; column < width; ++column) {
            const std::uint32_t pixel = pixels[row * width + column];
            const std::uint32_t alpha = pixel >> 24;
            std::uint32_t value = alpha << 24;
            for (const int shift : {16, 8, 0}) {
                const std::uint32_t channel = (pixel >> shift) & 0xFF;
                value |= ((channel * alpha + 127) / 255) << shift;
            }
            line[column] = value;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

std::shared_ptr<const Image> surfaceImage(Surface surface) {
    const double width = cairo_image_surface_get_width(surface.get());
    const double height = cairo_image_surface_get_height(surface.get());
    const double side = X11ApplicationIdentities::kIconPoints;
    return std::make_shared<const Image>(
        Image{Size{side, side}, false, [surface, width, height](cairo_t* context, Size size) {
                  cairo_save(context);
                  cairo_scale(context, size.width / width, size.height / height);
                  cairo_set_source_surface(context, surface.get(), 0, 0);
                  cairo_pattern_set_filter(cairo_get_source(context), CAIRO_FILTER_GOOD);
                  cairo_paint(context);
                  cairo_restore(context);
              }});
}

template <class T>
std::optional<T> setting(const X11XSettings::Table& table, std::string_view name) {
    const auto found = table.find(name);
    if (found == table.end()) return std::nullopt;
    if (const auto* value = std::get_if<T>(&found->second)) return *value;
    return std::nullopt;
}

}  // namespace

std::shared_ptr<const Image> X11ApplicationIdentities::iconFromCardinals(
    const std::vector<std::uint32_t>& cardinals, int pixelSize) {
    std::optional<std::size_t> best;
    std::uint32_t bestSide = 0;
    for (std::size_t at = 0; at + 2 <= cardinals.size();) {
        const std::uint32_t width = cardinals[at], height = cardinals[at + 1];
        if (width == 0 || height == 0 || width > kLargestIconSide || height > kLargestIconSide ||
            cardinals.size() - at - 2 < static_cast<std::size_t>(width) * height) {
            break;
        }
        const std::uint32_t side = std::max(width, height);
        const auto wanted = static_cast<std::uint32_t>(std::max(pixelSize, 1));
        // The smallest that is large enough; below the size, the larger the better.
        const bool better = !best || (side >= wanted ? bestSide < wanted || side < bestSide
                                                     : bestSide < wanted && side > bestSide);
        if (better) {
            best = at;
            bestSide = side;
        }
        at += 2 + static_cast<std::size_t>(width) * height;
    }
    if (!best) return nullptr;
    const auto width = static_cast<int>(cardinals[*best]);
    const auto height = static_cast<int>(cardinals[*best + 1]);
    auto surface = premultiplied(cardinals.data() + *best + 2, width, height);
    return surface ? surfaceImage(std::move(surface)) : nullptr;
}

std::shared_ptr<const Image> X11ApplicationIdentities::iconFromFile(const fs::path& path) {
    const double side = kIconPoints;
    if (path.extension() == ".png") {
        Surface surface(cairo_image_surface_create_from_png(path.c_str()), SurfaceFree{});
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
        return surfaceImage(std::move(surface));
    }
    if (path.extension() != ".svg") return nullptr;
    GError* error = nullptr;
    RsvgHandle* raw = rsvg_handle_new_from_file(path.c_str(), &error);
    if (!raw) {
        if (error) g_error_free(error);
        return nullptr;
    }
    std::shared_ptr<RsvgHandle> handle(raw, [](RsvgHandle* h) { g_object_unref(h); });
    return std::make_shared<const Image>(
        Image{Size{side, side}, false, [handle](cairo_t* context, Size size) {
                  const RsvgRectangle area{0, 0, size.width, size.height};
                  rsvg_handle_render_document(handle.get(), context, &area, nullptr);
              }});
}

std::string X11ApplicationIdentities::programOf(std::int32_t pid) {
    if (pid <= 0) return {};
    const fs::path process = fs::path("/proc") / std::to_string(pid);
    std::error_code error;
    const fs::path executable = fs::read_symlink(process / "exe", error);
    if (!error) return executable.filename().string();
    // Another user's process: its short name is still readable.
    std::ifstream comm(process / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::vector<std::uint32_t> X11ApplicationIdentities::windowIcon(xcb_window_t window) const {
    xcb_connection_t* raw = connection_->raw();
    auto reply = waitReply(xcb_get_property_reply, raw,
                           xcb_get_property(raw, 0, window, connection_->atom(Atom::_NET_WM_ICON),
                                            XCB_ATOM_CARDINAL, 0, kIconPropertyLength));
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_CARDINAL) return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

const X11ApplicationIdentities::Identity& X11ApplicationIdentities::identify(
    std::int32_t pid, xcb_window_t window, const std::string& instance,
    const std::string& className) const {
    if (const auto found = known_.find(pid);
        found != known_.end() && found->second.className == className) {
        return found->second;
    }
    Identity identity{className, std::nullopt, nullptr};
    const auto entry = entries_.find(instance, className, programOf(pid));
    if (entry) {
        identity.name = entry->name;
    } else if (!className.empty()) {
        identity.name = className;
    }
    const auto settings = X11XSettings(connection_).read();
    const int scale = std::clamp(
        setting<std::int32_t>(settings, "Gdk/WindowScalingFactor").value_or(1), 1, kLargestScale);
    const int pixels = static_cast<int>(kIconPoints) * scale;
    // The entry's icon is the one its menus and task bars show; a window's own icon may be one
    // the window manager gave every window that lacks one.
    if (entry && !entry->icon.empty()) {
        const fs::path icon(entry->icon);
        const auto file =
            icon.is_absolute()
                ? std::optional<fs::path>(icon)
                : X11IconTheme(setting<std::string>(settings, "Net/IconThemeName").value_or(""))
                      .find(entry->icon, pixels);
        if (file) identity.icon = iconFromFile(*file);
    }
    if (!identity.icon) identity.icon = iconFromCardinals(windowIcon(window), pixels);
    return known_[pid] = std::move(identity);
}

void X11ApplicationIdentities::keepOnly(const std::set<std::int32_t>& live) const {
    std::erase_if(known_, [&](const auto& entry) { return !live.contains(entry.first); });
}

}  // namespace talvori::x11

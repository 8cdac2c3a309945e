#include "platform/x11/X11ApplicationIdentities.hpp"

#include <cairo.h>
#include <librsvg/rsvg.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/freedesktop/IconTheme.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11DisplayScale.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11XSettings.hpp"

namespace talvori::x11 {

namespace fs = std::filesystem;

namespace {

// Larger icons than this are no icons a window means to be shown by (and would cost memory).
constexpr std::uint32_t kLargestIconSide = 1024;
// Some programs install a single large picture as their icon.
constexpr std::uint32_t kLargestIconFileSide = 2048;
// In 32-bit units: room for a few icons of 256 × 256.
constexpr std::uint32_t kIconPropertyLength = 1U << 20;
// Icon files larger than this are no icons either.
constexpr std::uintmax_t kLargestIconFile = 8U << 20;

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

// Drawn once at the size it is shown at, so that a large picture neither stays in memory nor is
// scaled again at every paint.
Surface scaledTo(cairo_surface_t* source, int pixelSize) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelSize, pixelSize),
                    SurfaceFree{});
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    const double width = cairo_image_surface_get_width(source);
    const double height = cairo_image_surface_get_height(source);
    // A picture that is not square keeps its proportions, in the middle.
    const double scale = pixelSize / std::max(width, height);
    cairo_t* context = cairo_create(surface.get());
    cairo_translate(context, (pixelSize - width * scale) / 2, (pixelSize - height * scale) / 2);
    cairo_scale(context, scale, scale);
    cairo_set_source_surface(context, source, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(context), CAIRO_FILTER_GOOD);
    cairo_paint(context);
    cairo_destroy(context);
    return surface;
}

std::shared_ptr<const Image> surfaceImage(Surface surface) {
    if (!surface) return nullptr;
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

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t index = at; index < at + 4; ++index)
        value = (value << 8) | static_cast<unsigned char>(bytes[index]);
    return value;
}

// The size its header gives, read before the picture so that a huge one is never unpacked.
bool isPngOfSaneSize(const std::string& bytes) {
    static constexpr std::string_view kSignature = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, 8, kSignature) != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return false;
    }
    const std::uint32_t width = bigEndian(bytes, 16), height = bigEndian(bytes, 20);
    return width > 0 && height > 0 && width <= kLargestIconFileSide &&
           height <= kLargestIconFileSide;
}

Surface pngIcon(const std::string& bytes, int pixelSize) {
    if (!isPngOfSaneSize(bytes)) return nullptr;
    struct Reader {
        const std::string& bytes;
        std::size_t at = 0;
    } reader{bytes};
    const auto read = [](void* closure, unsigned char* data, unsigned int length) {
        auto& from = *static_cast<Reader*>(closure);
        if (from.bytes.size() - from.at < length) return CAIRO_STATUS_READ_ERROR;
        std::copy_n(from.bytes.data() + from.at, length, data);
        from.at += length;
        return CAIRO_STATUS_SUCCESS;
    };
    Surface picture(cairo_image_surface_create_from_png_stream(read, &reader), SurfaceFree{});
    if (cairo_surface_status(picture.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    return scaledTo(picture.get(), pixelSize);
}

Surface svgIcon(const std::string& bytes, int pixelSize) {
    // From memory and without a base address: the file reaches no other file.
    std::unique_ptr<RsvgHandle, void (*)(gpointer)> handle(
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(bytes.data()), bytes.size(),
                                  nullptr),
        g_object_unref);
    if (!handle) return nullptr;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelSize, pixelSize),
                    SurfaceFree{});
    cairo_t* context = cairo_create(surface.get());
    const RsvgRectangle area{0, 0, static_cast<double>(pixelSize), static_cast<double>(pixelSize)};
    const bool drawn = rsvg_handle_render_document(handle.get(), context, &area, nullptr);
    cairo_destroy(context);
    return drawn ? surface : nullptr;
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
    const auto picture = premultiplied(cardinals.data() + *best + 2, width, height);
    if (!picture) return nullptr;
    return surfaceImage(std::max(width, height) > pixelSize ? scaledTo(picture.get(), pixelSize)
                                                            : picture);
}

std::shared_ptr<const Image> X11ApplicationIdentities::iconFromFile(const fs::path& path,
                                                                    int pixelSize) {
    const auto bytes = freedesktop::DesktopEntries::readSmallFile(path, kLargestIconFile);
    if (!bytes || pixelSize <= 0) return nullptr;
    if (path.extension() == ".png") return surfaceImage(pngIcon(*bytes, pixelSize));
    if (path.extension() == ".svg") return surfaceImage(svgIcon(*bytes, pixelSize));
    return nullptr;
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
    std::int32_t pid, const std::string& instance, const std::string& className) const {
    if (const auto found = known_.find(pid);
        found != known_.end() && found->second.className == className) {
        return found->second;
    }
    Identity identity{className, std::nullopt, {}, nullptr, false};
    const auto entry = entries_.find(instance, className, programOf(pid));
    if (entry) {
        identity.name = entry->name;
        identity.entryIcon = entry->icon;
    } else if (!className.empty()) {
        identity.name = className;
    }
    return known_[pid] = std::move(identity);
}

std::shared_ptr<const Image> X11ApplicationIdentities::fetchIcon(std::int32_t pid,
                                                                 xcb_window_t window) {
    const auto found = known_.find(pid);
    if (found == known_.end()) return nullptr;
    Identity& identity = found->second;
    if (std::exchange(identity.iconFetched, true)) return identity.icon;
    // Drawn at the display's scale, sharp as the rest of the panel.
    const int pixels = static_cast<int>(kIconPoints) * X11DisplayScale::read(connection_);
    // The entry's icon is the one its menus and task bars show; a window's own icon may be one
    // the window manager gave every window that lacks one.
    if (!identity.entryIcon.empty()) {
        const fs::path icon(identity.entryIcon);
        const auto settings = X11XSettings(connection_).read();
        const auto file =
            icon.is_absolute()
                ? std::optional<fs::path>(icon)
                : freedesktop::IconTheme(
                      setting<std::string>(settings, "Net/IconThemeName").value_or(""))
                      .find(identity.entryIcon, pixels);
        if (file) identity.icon = iconFromFile(*file, pixels);
    }
    if (!identity.icon) identity.icon = iconFromCardinals(windowIcon(window), pixels);
    return identity.icon;
}

void X11ApplicationIdentities::keepOnly(const std::set<std::int32_t>& live) const {
    std::erase_if(known_, [&](const auto& entry) { return !live.contains(entry.first); });
}

}  // namespace talvori::x11

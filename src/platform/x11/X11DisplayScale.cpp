#include "platform/x11/X11DisplayScale.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11XSettings.hpp"

namespace talvori::x11 {

namespace {

// The resolution every desktop takes as one pixel per point.
constexpr double kBaseResolution = 96;
// Resource databases are a few kilobytes; this leaves room for large ones (in 32-bit units).
constexpr std::uint32_t kResourcesLength = 64 * 1024;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<double> number(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> X11DisplayScale::fontResolution(std::string_view resources) {
    std::optional<double> found;
    while (!resources.empty()) {
        const auto end = resources.find('\n');
        const std::string_view line = trimmed(resources.substr(0, end));
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || trimmed(line.substr(0, colon)) != "Xft.dpi")
            continue;
        // The last line for a name is the one in force, as for xrdb.
        found = number(trimmed(line.substr(colon + 1)));
    }
    if (found && !(std::isfinite(*found) && *found > 0)) return std::nullopt;
    return found;
}

int X11DisplayScale::choose(const char* gdkScale, std::optional<std::int32_t> windowScalingFactor,
                            std::string_view resources) {
    if (gdkScale) {
        int value = 0;
        const std::string_view text(gdkScale);
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc() && end == text.data() + text.size() && value >= 1) {
            return std::min(value, kLargest);
        }
    }
    long scale = std::clamp<std::int32_t>(windowScalingFactor.value_or(1), 1, kLargest);
    if (const auto dpi = fontResolution(resources)) {
        scale = std::max(scale, std::lround(std::min(*dpi / kBaseResolution, 1.0 * kLargest)));
    }
    return static_cast<int>(std::clamp<long>(scale, 1, kLargest));
}

int X11DisplayScale::asked(const std::shared_ptr<X11Connection>& connection) {
    xcb_connection_t* raw = connection->raw();
    const auto resources = propertyReply(
        raw, requestProperty(raw, connection->root(), XCB_ATOM_RESOURCE_MANAGER, kResourcesLength));
    const std::string text = resources ? resources->text() : std::string();
    return choose(std::getenv("GDK_SCALE"),
                  X11XSettings(connection).integer("Gdk/WindowScalingFactor"), text);
}

int X11DisplayScale::read(const std::shared_ptr<X11Connection>& connection) {
    const xcb_screen_t& screen = connection->screen();
    return fitting(asked(connection), screen.width_in_pixels, screen.height_in_pixels);
}

int X11DisplayScale::fitting(int scale, std::uint32_t width, std::uint32_t height) {
    const auto across = static_cast<int>(width / kLeastScreenWidth);
    const auto down = static_cast<int>(height / kLeastScreenHeight);
    return std::max(1, std::min({scale, across, down}));
}

}  // namespace talvori::x11

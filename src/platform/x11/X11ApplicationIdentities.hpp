#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/desktop/Image.hpp"
#include "platform/x11/X11DesktopEntries.hpp"

namespace talvori::x11 {

class X11Connection;

// Who a program with windows is, as the user knows it: the name its desktop entry gives it (by
// StartupWMClass, WM_CLASS or program), else its WM_CLASS class; and its entry's icon in the
// desktop's icon theme, else the icon its window carries (_NET_WM_ICON). Looked up once per
// process.
class X11ApplicationIdentities {
  public:
    // Icons are shown at this size in points.
    static constexpr double kIconPoints = 16;

    struct Identity {
        std::string className;
        std::optional<std::string> name;
        std::shared_ptr<const Image> icon;
    };

    explicit X11ApplicationIdentities(std::shared_ptr<X11Connection> connection)
        : connection_(std::move(connection)) {}

    // The process of `window`, whose WM_CLASS is `instance` and `className`.
    const Identity& identify(std::int32_t pid, xcb_window_t window, const std::string& instance,
                             const std::string& className) const;
    // Forgets the processes not in `live`.
    void keepOnly(const std::set<std::int32_t>& live) const;

    // The icon of a _NET_WM_ICON property that suits `pixelSize` best: the smallest at least that
    // large, else the largest. None when the property holds no whole icon.
    static std::shared_ptr<const Image> iconFromCardinals(
        const std::vector<std::uint32_t>& cardinals, int pixelSize);
    // The picture of a PNG or SVG file at `pixelSize`; none when it cannot be read or is far
    // larger than any icon.
    static std::shared_ptr<const Image> iconFromFile(const std::filesystem::path& path,
                                                     int pixelSize);
    // The file name of the program a process runs; empty when it cannot be read.
    static std::string programOf(std::int32_t pid);

  private:
    std::vector<std::uint32_t> windowIcon(xcb_window_t window) const;

    std::shared_ptr<X11Connection> connection_;
    X11DesktopEntries entries_;
    mutable std::map<std::int32_t, Identity> known_;
};

}  // namespace talvori::x11

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
#include "platform/freedesktop/DesktopEntries.hpp"

namespace talvori::x11 {

class X11Connection;

// Who a program with windows is, as the user knows it: the name its desktop entry gives it (by
// StartupWMClass, WM_CLASS or program), else its WM_CLASS class; and its entry's icon in the
// desktop's icon theme, else the icon its window carries (_NET_WM_ICON). Looked up once per
// process; the name from files only, so that following the active window never waits for the
// server, the icon from the server the first time it is shown.
class X11ApplicationIdentities {
  public:
    // Icons are shown at this size in points.
    static constexpr double kIconPoints = 16;

    struct Identity {
        std::string className;
        std::optional<std::string> name;
        // The desktop entry's Icon key (empty without one).
        std::string entryIcon;
        std::shared_ptr<const Image> icon;
        // Whether the icon was looked for, found or not.
        bool iconFetched = false;
    };

    explicit X11ApplicationIdentities(std::shared_ptr<X11Connection> connection)
        : connection_(std::move(connection)) {}

    // The process `pid`, one of whose windows has the WM_CLASS `instance` and `className`.
    const Identity& identify(std::int32_t pid, const std::string& instance,
                             const std::string& className) const;
    // The icon of an identified process, looked for at the first call (reading the desktop's
    // settings and `window`'s own icon from the server); none when it has none.
    std::shared_ptr<const Image> fetchIcon(std::int32_t pid, xcb_window_t window);
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
    freedesktop::DesktopEntries entries_;
    mutable std::map<std::int32_t, Identity> known_;
};

}  // namespace talvori::x11

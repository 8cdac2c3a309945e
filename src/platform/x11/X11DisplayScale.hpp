#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace talvori::x11 {

class X11Connection;

// How many pixels of the screen make one point of the program's drawing and geometry: 2 on a
// screen set up for double size, as GTK and Qt programs find it. Whole numbers only: a point is
// then always whole pixels, so that one-point lines stay sharp and our windows' edges meet other
// programs' frames exactly.
class X11DisplayScale {
  public:
    static constexpr int kLargest = 4;
    // The least a screen must show, in points, of our largest window (Settings on its tallest tab)
    // with room for a title bar.
    static constexpr int kLeastScreenWidth = 800;
    static constexpr int kLeastScreenHeight = 600;

    // GDK_SCALE when it is a whole number from 1 up (it overrides the desktop, as for GTK);
    // otherwise the larger of the settings daemon's Gdk/WindowScalingFactor and the font
    // resolution Xft.dpi over 96, rounded. Anything unreadable counts as 1; at most kLargest.
    static int choose(const char* gdkScale, std::optional<std::int32_t> windowScalingFactor,
                      std::string_view resources);
    // The same from this process's environment, the settings daemon and the root's
    // RESOURCE_MANAGER.
    static int asked(const std::shared_ptr<X11Connection>& connection);
    // That, lowered to fit the root.
    static int read(const std::shared_ptr<X11Connection>& connection);
    // `scale`, or the largest below it at which a screen of `width` x `height` pixels still holds
    // every window: a scale meant for a denser display would push windows off this one. At
    // least 1.
    static int fitting(int scale, std::uint32_t width, std::uint32_t height);

    // Xft.dpi in an X resource database text (one "name: value" line per resource); none when it
    // is missing or not a positive number.
    static std::optional<double> fontResolution(std::string_view resources);
};

}  // namespace talvori::x11

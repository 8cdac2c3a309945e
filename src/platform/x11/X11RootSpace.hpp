#pragma once

#include <cstdint>

#include "platform/core/Geometry.hpp"

namespace talvori::x11 {

// A rectangle in the X server's root coordinates: origin at the top left of the whole root
// window, y down, whole pixels.
struct RootRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    bool operator==(const RootRect&) const = default;
};

// The conversion between the program's global space (origin at the bottom left of the first
// monitor, y up, in points), the top-left space of window lists and Accessibility (origin at the
// top left of the first monitor, y down, in points) and X root coordinates (pixels). The first
// monitor is the RandR primary one. Everything that comes from or goes to the server in pixels
// passes through here, so that points and pixels never mix.
struct X11RootSpace {
    // The first monitor in root coordinates.
    double originX = 0;
    double originY = 0;
    double height = 0;
    // Pixels per point (see X11DisplayScale).
    double scale = 1;

    // Windows are whole pixels: rounded, never less than 1 x 1 (X refuses empty windows).
    RootRect toRoot(const Rect& global) const;
    Rect toGlobal(const RootRect& root) const;
    Point pointToGlobal(double rootX, double rootY) const {
        return {(rootX - originX) / scale, (originY + height - rootY) / scale};
    }
    // Root coordinates seen from the first monitor's top left.
    Rect toTopLeft(const RootRect& root) const {
        return {(root.x - originX) / scale, (root.y - originY) / scale, root.width / scale,
                root.height / scale};
    }
    // A length or a position within a window.
    double toPoints(double pixels) const { return pixels / scale; }
    double toPixels(double points) const { return points * scale; }
};

}  // namespace talvori::x11

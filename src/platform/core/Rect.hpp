#pragma once

#include <algorithm>

#include "platform/core/Point.hpp"
#include "platform/core/Size.hpp"

namespace talvori {

// A rectangle in points: an origin and a size (see Geometry.hpp for the spaces).
struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point origin, Size size) : origin(origin), size(size) {}
    Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    bool isEmpty() const { return !(size.width > 0 && size.height > 0); }
    // Edges are half open: a point on the max edges is outside.
    bool contains(Point point) const {
        return point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
    }
    // Rectangles that only touch along an edge do not intersect.
    bool intersects(const Rect& other) const {
        return !isEmpty() && !other.isEmpty() && minX() < other.maxX() && other.minX() < maxX() &&
               minY() < other.maxY() && other.minY() < maxY();
    }
    Rect intersection(const Rect& other) const {
        if (!intersects(other)) return Rect();
        const double x = std::max(minX(), other.minX());
        const double y = std::max(minY(), other.minY());
        return Rect(x, y, std::min(maxX(), other.maxX()) - x, std::min(maxY(), other.maxY()) - y);
    }

    bool operator==(const Rect&) const = default;
};

}  // namespace talvori

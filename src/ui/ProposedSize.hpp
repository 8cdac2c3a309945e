#pragma once

#include <cmath>
#include <limits>
#include <optional>

#include "platform/core/Geometry.hpp"

namespace talvori::ui {

// "As large as offered" in frames and proposals.
inline constexpr double infinity = std::numeric_limits<double>::infinity();

// What a parent offers a child: a missing dimension asks for the child's ideal size, zero for its
// minimum and infinity for its maximum.
struct ProposedSize {
    std::optional<double> width;
    std::optional<double> height;
    bool operator==(const ProposedSize&) const = default;

    static ProposedSize of(Size size) { return {size.width, size.height}; }
    // The proposal with missing dimensions read as `fallback`.
    Size replacingUnspecified(Size fallback) const {
        return {width.value_or(fallback.width), height.value_or(fallback.height)};
    }
};

// Helpers on the core's points and rectangles (view content: origin top left, y down).
inline Point center(const Rect& rect) {
    return {rect.midX(), rect.midY()};
}
inline Rect insetBy(const Rect& rect, double dx, double dy) {
    return {rect.minX() + dx, rect.minY() + dy, std::max(0.0, rect.width() - 2 * dx),
            std::max(0.0, rect.height() - 2 * dy)};
}
inline Rect offsetBy(const Rect& rect, double dx, double dy) {
    return {rect.minX() + dx, rect.minY() + dy, rect.width(), rect.height()};
}
inline Point offsetBy(Point point, double dx, double dy) {
    return {point.x + dx, point.y + dy};
}
inline double distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace talvori::ui

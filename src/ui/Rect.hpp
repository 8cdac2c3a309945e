#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace talvori::ui {

// "As large as offered" in frames and proposals.
inline constexpr double infinity = std::numeric_limits<double>::infinity();

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
    Point operator+(Point other) const { return {x + other.x, y + other.y}; }
    Point operator-(Point other) const { return {x - other.x, y - other.y}; }
    double distance(Point other) const { return std::hypot(x - other.x, y - other.y); }
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

// View content coordinates: origin top left, y down, in points.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Rect() = default;
    Rect(double x, double y, double width, double height)
        : x(x), y(y), width(width), height(height) {}
    Rect(Point origin, Size size)
        : x(origin.x), y(origin.y), width(size.width), height(size.height) {}
    bool operator==(const Rect&) const = default;

    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
    Point center() const { return {midX(), midY()}; }
    bool contains(Point p) const { return p.x >= x && p.x < maxX() && p.y >= y && p.y < maxY(); }
    Rect insetBy(double dx, double dy) const {
        return {x + dx, y + dy, std::max(0.0, width - 2 * dx), std::max(0.0, height - 2 * dy)};
    }
    Rect offsetBy(double dx, double dy) const { return {x + dx, y + dy, width, height}; }
    Rect intersection(const Rect& other) const {
        const double left = std::max(x, other.x);
        const double top = std::max(y, other.y);
        const double right = std::min(maxX(), other.maxX());
        const double bottom = std::min(maxY(), other.maxY());
        if (right <= left || bottom <= top) return {};
        return {left, top, right - left, bottom - top};
    }
};

// What a parent offers a child: a missing dimension asks for the child's ideal size, zero for its
// minimum and infinity for its maximum.
struct ProposedSize {
    std::optional<double> width;
    std::optional<double> height;
    bool operator==(const ProposedSize&) const = default;

    static ProposedSize unspecified() { return {}; }
    static ProposedSize of(Size size) { return {size.width, size.height}; }
    // The proposal with missing dimensions read as `fallback`.
    Size replacingUnspecified(Size fallback) const {
        return {width.value_or(fallback.width), height.value_or(fallback.height)};
    }
};

}  // namespace talvori::ui

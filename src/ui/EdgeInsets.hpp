#pragma once

#include <cstdint>

namespace talvori::ui {

enum class Edge { top, leading, bottom, trailing };

// A set of edges for padding: Edges::horizontal is leading and trailing.
enum class Edges : std::uint8_t {
    top = 1,
    leading = 2,
    bottom = 4,
    trailing = 8,
    horizontal = leading | trailing,
    vertical = top | bottom,
    all = top | leading | bottom | trailing,
};

inline constexpr Edges operator|(Edges a, Edges b) {
    return static_cast<Edges>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
inline constexpr bool contains(Edges set, Edges edge) {
    return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(edge)) != 0;
}

// Per-edge lengths; negative values grow the child beyond its parent's bounds.
struct EdgeInsets {
    double top = 0;
    double leading = 0;
    double bottom = 0;
    double trailing = 0;
    bool operator==(const EdgeInsets&) const = default;

    static EdgeInsets all(double length) { return {length, length, length, length}; }
    static EdgeInsets of(Edges edges, double length) {
        return {contains(edges, Edges::top) ? length : 0,
                contains(edges, Edges::leading) ? length : 0,
                contains(edges, Edges::bottom) ? length : 0,
                contains(edges, Edges::trailing) ? length : 0};
    }
    double horizontal() const { return leading + trailing; }
    double vertical() const { return top + bottom; }
};

}  // namespace talvori::ui

#pragma once

namespace talvori::ui {

// A point in a rectangle as fractions of its size: (0, 0) top leading, (1, 1) bottom trailing.
struct UnitPoint {
    double x = 0.5;
    double y = 0.5;
    bool operator==(const UnitPoint&) const = default;

    static constexpr UnitPoint topLeading() { return {0, 0}; }
    static constexpr UnitPoint top() { return {0.5, 0}; }
    static constexpr UnitPoint topTrailing() { return {1, 0}; }
    static constexpr UnitPoint leading() { return {0, 0.5}; }
    static constexpr UnitPoint center() { return {0.5, 0.5}; }
    static constexpr UnitPoint trailing() { return {1, 0.5}; }
    static constexpr UnitPoint bottomLeading() { return {0, 1}; }
    static constexpr UnitPoint bottom() { return {0.5, 1}; }
    static constexpr UnitPoint bottomTrailing() { return {1, 1}; }
};

enum class HorizontalAlignment { leading, center, trailing };
// firstTextBaseline lines up the first text baselines of a horizontal stack's children; a child
// without text uses its bottom edge.
enum class VerticalAlignment { top, center, bottom, firstTextBaseline };

struct Alignment {
    HorizontalAlignment horizontal = HorizontalAlignment::center;
    VerticalAlignment vertical = VerticalAlignment::center;
    bool operator==(const Alignment&) const = default;

    static constexpr Alignment topLeading() {
        return {HorizontalAlignment::leading, VerticalAlignment::top};
    }
    static constexpr Alignment top() {
        return {HorizontalAlignment::center, VerticalAlignment::top};
    }
    static constexpr Alignment topTrailing() {
        return {HorizontalAlignment::trailing, VerticalAlignment::top};
    }
    static constexpr Alignment leading() {
        return {HorizontalAlignment::leading, VerticalAlignment::center};
    }
    static constexpr Alignment center() { return {}; }
    static constexpr Alignment trailing() {
        return {HorizontalAlignment::trailing, VerticalAlignment::center};
    }
    static constexpr Alignment bottomLeading() {
        return {HorizontalAlignment::leading, VerticalAlignment::bottom};
    }
    static constexpr Alignment bottom() {
        return {HorizontalAlignment::center, VerticalAlignment::bottom};
    }
    static constexpr Alignment bottomTrailing() {
        return {HorizontalAlignment::trailing, VerticalAlignment::bottom};
    }
};

// Where a child of length `child` sits in a slot of length `slot`.
inline double alignedOffset(HorizontalAlignment alignment, double slot, double child) {
    switch (alignment) {
        case HorizontalAlignment::leading:
            return 0;
        case HorizontalAlignment::center:
            return (slot - child) / 2;
        case HorizontalAlignment::trailing:
            return slot - child;
    }
    return 0;
}

inline double alignedOffset(VerticalAlignment alignment, double slot, double child) {
    switch (alignment) {
        case VerticalAlignment::top:
            return 0;
        case VerticalAlignment::center:
            return (slot - child) / 2;
        case VerticalAlignment::bottom:
        case VerticalAlignment::firstTextBaseline:
            return slot - child;
    }
    return 0;
}

}  // namespace talvori::ui

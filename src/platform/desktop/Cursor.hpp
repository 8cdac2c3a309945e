#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/Geometry.hpp"

namespace talvori {

// A pointer shape.
struct Cursor {
    enum class Kind { arrow, resizeUpDown, resizeLeftRight, crosshair, pointingHand, custom };

    Kind kind = Kind::arrow;
    // Custom cursors only: premultiplied ARGB pixels, row by row from the top left.
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    Point hotSpot;

    bool operator==(const Cursor&) const = default;

    static Cursor arrow() { return standard(Kind::arrow); }
    static Cursor resizeUpDown() { return standard(Kind::resizeUpDown); }
    static Cursor resizeLeftRight() { return standard(Kind::resizeLeftRight); }
    static Cursor crosshair() { return standard(Kind::crosshair); }
    static Cursor pointingHand() { return standard(Kind::pointingHand); }
    static Cursor custom(int width, int height, std::vector<std::uint32_t> pixels, Point hotSpot) {
        Cursor cursor = standard(Kind::custom);
        cursor.width = width;
        cursor.height = height;
        cursor.pixels = std::move(pixels);
        cursor.hotSpot = hotSpot;
        return cursor;
    }

  private:
    static Cursor standard(Kind kind) {
        Cursor cursor;
        cursor.kind = kind;
        return cursor;
    }
};

}  // namespace talvori

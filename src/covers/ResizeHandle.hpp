#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "covers/SnapEdge.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/desktop/Cursor.hpp"

namespace talvori {

// One of the eight handles of a cover: four corners and four edges. No handle at all is an absent
// optional, never a ninth case.
class ResizeHandle {
  public:
    enum Case : std::uint8_t {
        topLeft,
        topRight,
        bottomLeft,
        bottomRight,
        top,
        right,
        bottom,
        left
    };

    constexpr ResizeHandle(Case value) : value_(value) {}
    constexpr operator Case() const { return value_; }

    static constexpr std::array<ResizeHandle, 8> allCases() {
        return {topLeft, topRight, bottomLeft, bottomRight, top, right, bottom, left};
    }

    // Corner squares this deep and edge bands this deep, in content points.
    static constexpr double cornerSize = 16;
    static constexpr double edgeDepth = 8;

    // The handle under `point`, both in content coordinates (origin top left, y down). A corner
    // takes a 16-point square, an edge an 8-point band; on a small cover the earlier rule wins
    // (left before right, top before bottom). A point outside the bounds is no handle.
    static std::optional<ResizeHandle> hitTest(Point point, const Rect& bounds);

    // The pointer shape over `handle`: the system's resize cursors for edges, a drawn diagonal
    // double arrow (16 x 16, hot spot in the middle) for corners. Made anew on every call.
    static Cursor cursor(ResizeHandle handle);

    // The snap edges a handle moves.
    static std::vector<SnapEdge> edges(std::optional<ResizeHandle> handle);

    // The point of `frame` (screen coordinates, y up) that stays fixed while `handle` is dragged:
    // the corner or edge opposite it.
    static Point anchorPoint(ResizeHandle handle, const Rect& frame);

    // The point of `frame` that `handle` moves: the corner, or the edge's middle.
    static Point movingPoint(ResizeHandle handle, const Rect& frame);

    // The frame, in screen coordinates, when `handle` is dragged to `pointer` with `anchor` fixed.
    // A drag past the anchor stops at `minimum` instead of flipping. For top and bottom the x and
    // width are not meaningful, for left and right the y and height: the caller takes them from
    // the frame at the start of the resize.
    static Rect resizedFrame(ResizeHandle handle, Point anchor, Point pointer, Size minimum);

    bool isLeftSide() const { return value_ == topLeft || value_ == bottomLeft || value_ == left; }
    bool isRightSide() const {
        return value_ == topRight || value_ == bottomRight || value_ == right;
    }
    bool isTopSide() const { return value_ == topLeft || value_ == topRight || value_ == top; }
    bool isBottomSide() const {
        return value_ == bottomLeft || value_ == bottomRight || value_ == bottom;
    }

  private:
    Case value_;
};

}  // namespace talvori

#include "covers/ResizeHandle.hpp"

#include <cairo.h>

#include <algorithm>
#include <cstring>

namespace talvori {

namespace {

constexpr int kCursorSize = 16;

// One path of five open segments in image coordinates (y up): the diagonal and the two arrow
// heads at its ends.
struct Segment {
    Point from;
    Point to;
};
using Arrow = std::array<Segment, 5>;

constexpr Arrow kNorthWestSouthEast = {{{{2, 14}, {14, 2}},
                                        {{2, 14}, {2, 9}},
                                        {{2, 14}, {7, 14}},
                                        {{14, 2}, {14, 7}},
                                        {{14, 2}, {9, 2}}}};
constexpr Arrow kNorthEastSouthWest = {{{{14, 14}, {2, 2}},
                                        {{14, 14}, {9, 14}},
                                        {{14, 14}, {14, 9}},
                                        {{2, 2}, {7, 2}},
                                        {{2, 2}, {2, 7}}}};

void strokeArrow(cairo_t* context, const Arrow& arrow, double gray, double width) {
    for (const auto& segment : arrow) {
        // Cairo's y grows downward.
        cairo_move_to(context, segment.from.x, kCursorSize - segment.from.y);
        cairo_line_to(context, segment.to.x, kCursorSize - segment.to.y);
    }
    cairo_set_source_rgb(context, gray, gray, gray);
    cairo_set_line_width(context, width);
    cairo_stroke(context);
}

// A black double arrow with a white outline.
Cursor diagonalCursor(const Arrow& arrow) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kCursorSize, kCursorSize);
    cairo_t* context = cairo_create(surface);
    cairo_set_line_cap(context, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(context, CAIRO_LINE_JOIN_ROUND);
    strokeArrow(context, arrow, 1, 3.5);
    strokeArrow(context, arrow, 0, 1.5);
    cairo_destroy(context);
    cairo_surface_flush(surface);

    std::vector<std::uint32_t> pixels(kCursorSize * kCursorSize);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int row = 0; row < kCursorSize; ++row) {
        std::memcpy(&pixels[static_cast<std::size_t>(row * kCursorSize)], data + row * stride,
                    kCursorSize * sizeof(std::uint32_t));
    }
    cairo_surface_destroy(surface);
    return Cursor::custom(kCursorSize, kCursorSize, std::move(pixels),
                          {kCursorSize / 2.0, kCursorSize / 2.0});
}

}  // namespace

std::optional<ResizeHandle> ResizeHandle::hitTest(Point point, const Rect& bounds) {
    const double x = point.x - bounds.minX();
    const double y = point.y - bounds.minY();
    const double w = bounds.width();
    const double h = bounds.height();
    // Without this, a pointer released beside the cover after a drag would still name a handle.
    if (!(x >= 0 && x <= w && y >= 0 && y <= h)) return std::nullopt;
    if (x < cornerSize && y < cornerSize) return topLeft;
    if (x < cornerSize && y > h - cornerSize) return bottomLeft;
    if (x > w - cornerSize && y < cornerSize) return topRight;
    if (x > w - cornerSize && y > h - cornerSize) return bottomRight;
    if (y < edgeDepth) return top;
    if (y > h - edgeDepth) return bottom;
    if (x < edgeDepth) return left;
    if (x > w - edgeDepth) return right;
    return std::nullopt;
}

Cursor ResizeHandle::cursor(ResizeHandle handle) {
    switch (handle) {
        case top:
        case bottom:
            return Cursor::resizeUpDown();
        case left:
        case right:
            return Cursor::resizeLeftRight();
        case topLeft:
        case bottomRight:
            return diagonalCursor(kNorthWestSouthEast);
        case topRight:
        case bottomLeft:
            return diagonalCursor(kNorthEastSouthWest);
    }
    return Cursor::arrow();
}

// The top or bottom edge before the left or right one, as a corner's name reads.
std::vector<SnapEdge> ResizeHandle::edges(std::optional<ResizeHandle> handle) {
    std::vector<SnapEdge> edges;
    if (!handle) return edges;
    if (handle->isTopSide()) edges.push_back(SnapEdge::top);
    if (handle->isBottomSide()) edges.push_back(SnapEdge::bottom);
    if (handle->isLeftSide()) edges.push_back(SnapEdge::left);
    if (handle->isRightSide()) edges.push_back(SnapEdge::right);
    return edges;
}

Point ResizeHandle::anchorPoint(ResizeHandle handle, const Rect& frame) {
    switch (handle) {
        case topLeft:
        case left:
            return {frame.maxX(), frame.minY()};
        case topRight:
        case top:
        case right:
            return {frame.minX(), frame.minY()};
        case bottomLeft:
            return {frame.maxX(), frame.maxY()};
        case bottomRight:
        case bottom:
            return {frame.minX(), frame.maxY()};
    }
    return frame.origin;
}

Point ResizeHandle::movingPoint(ResizeHandle handle, const Rect& frame) {
    Point point{frame.midX(), frame.midY()};
    if (handle.isLeftSide()) point.x = frame.minX();
    if (handle.isRightSide()) point.x = frame.maxX();
    if (handle.isTopSide()) point.y = frame.maxY();
    if (handle.isBottomSide()) point.y = frame.minY();
    return point;
}

Rect ResizeHandle::resizedFrame(ResizeHandle handle, Point anchor, Point pointer, Size minimum) {
    Rect frame;
    if (handle.isLeftSide()) {
        frame.origin.x = std::min(anchor.x - minimum.width, pointer.x);
        frame.size.width = anchor.x - frame.origin.x;
    } else if (handle.isRightSide()) {
        frame.origin.x = anchor.x;
        frame.size.width = std::max(pointer.x - anchor.x, minimum.width);
    }
    if (handle.isTopSide()) {
        frame.origin.y = anchor.y;
        frame.size.height = std::max(pointer.y - anchor.y, minimum.height);
    } else if (handle.isBottomSide()) {
        frame.origin.y = std::min(anchor.y - minimum.height, pointer.y);
        frame.size.height = anchor.y - frame.origin.y;
    }
    frame.size.width = std::max(frame.size.width, minimum.width);
    frame.size.height = std::max(frame.size.height, minimum.height);
    return frame;
}

}  // namespace talvori

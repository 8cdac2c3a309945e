#include "covers/ResizeHandle.hpp"

#include <algorithm>

namespace talvori {

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

std::vector<SnapEdge> ResizeHandle::edges(std::optional<ResizeHandle> handle) {
    if (!handle) return {};
    switch (*handle) {
        case topLeft:
            return {SnapEdge::top, SnapEdge::left};
        case topRight:
            return {SnapEdge::top, SnapEdge::right};
        case bottomLeft:
            return {SnapEdge::bottom, SnapEdge::left};
        case bottomRight:
            return {SnapEdge::bottom, SnapEdge::right};
        case top:
            return {SnapEdge::top};
        case right:
            return {SnapEdge::right};
        case bottom:
            return {SnapEdge::bottom};
        case left:
            return {SnapEdge::left};
    }
    return {};
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

#include "covers/SnapResult.hpp"

#include <cmath>

namespace talvori {

namespace {
bool isNear(double edge, double targetEdge) {
    return std::abs(edge - targetEdge) < SnapResult::threshold;
}
}  // namespace

SnapResult SnapResult::snap(const Rect& frame, const Rect& target) {
    SnapResult result{frame, {}};
    Point& origin = result.frame.origin;
    if (isNear(frame.minX(), target.minX())) {
        origin.x = target.minX();
        result.snappedEdges.insert(SnapEdge::left);
    }
    if (isNear(frame.maxX(), target.maxX())) {
        origin.x = target.maxX() - frame.width();
        result.snappedEdges.insert(SnapEdge::right);
    }
    if (isNear(frame.minY(), target.minY())) {
        origin.y = target.minY();
        result.snappedEdges.insert(SnapEdge::bottom);
    }
    if (isNear(frame.maxY(), target.maxY())) {
        origin.y = target.maxY() - frame.height();
        result.snappedEdges.insert(SnapEdge::top);
    }
    return result;
}

}  // namespace talvori

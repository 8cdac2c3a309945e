#pragma once

#include <set>

#include "covers/SnapEdge.hpp"
#include "platform/core/Geometry.hpp"

namespace talvori {

// A frame after edge snapping, with the edges that snapped.
struct SnapResult {
    // An edge snaps when it is strictly closer than this to the same edge of the target.
    static constexpr double threshold = 15;

    Rect frame;
    std::set<SnapEdge> snappedEdges;

    // Moves `frame` so that each of its edges that lies within the threshold of the same edge of
    // `target` sits on it; the size never changes. Every edge is measured on the proposed frame.
    // Where opposite edges both snap, the right and the top edge decide the position.
    static SnapResult snap(const Rect& frame, const Rect& target);
};

}  // namespace talvori

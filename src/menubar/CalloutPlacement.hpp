#pragma once

namespace talvori {

// Where a callout stands by the status item: its bottom-left corner in the global space (y up),
// its beak's centre, measured from the callout's left edge, and whether the callout stands above
// the item, its beak on its bottom edge pointing down.
struct CalloutPlacement {
    double x = 0;
    double y = 0;
    double beakCenterX = 0;
    bool beakPointsDown = false;

    bool operator==(const CalloutPlacement&) const = default;
};

}  // namespace talvori

#pragma once

namespace talvori {

// Where a callout stands under the status item: its bottom-left corner in the global space (y up)
// and its beak's centre, measured from the callout's left edge.
struct CalloutPlacement {
    double x = 0;
    double y = 0;
    double beakCenterX = 0;

    bool operator==(const CalloutPlacement&) const = default;
};

}  // namespace talvori

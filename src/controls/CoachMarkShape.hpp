#pragma once

#include "ui/Shape.hpp"

namespace talvori {

// A rounded rectangle whose top edge lies `beakHeight` below the top of its frame, with a
// triangular beak on that edge pointing up at `beakCenterX` (from the frame's left edge): the
// bubble of the callouts under the status item. The apex stays at least `cornerRadius` +
// `beakHalfWidth` from either side, so the beak never runs into a corner. Changing the beak's
// place redraws it there at once; nothing animates it.
class CoachMarkShape : public ui::Shape {
  public:
    CoachMarkShape(double beakCenterX, double beakHeight, double beakHalfWidth,
                   double cornerRadius);

    // Where the apex stands in a frame `width` wide. In a frame too narrow for both margins the
    // right one wins.
    static double clampedBeakCenter(double beakCenterX, double width, double beakHalfWidth,
                                    double cornerRadius);
};

}  // namespace talvori

#pragma once

#include "ui/Shape.hpp"

namespace talvori {

// A rounded rectangle whose top edge lies `beakHeight` below the top of its frame, with a
// triangular beak on that edge pointing up at `beakCenterX`: the bubble of callouts under the
// status item. The apex stays at least `cornerRadius` + `beakHalfWidth` from either side, so the
// beak never runs into a corner.
class CoachMarkShape : public ui::Shape {
  public:
    CoachMarkShape(double beakCenterX, double beakHeight, double beakHalfWidth,
                   double cornerRadius);

    static double clampedBeakCenter(double beakCenterX, double width, double beakHalfWidth,
                                    double cornerRadius);
};

}  // namespace talvori

#pragma once

#include "ui/Shape.hpp"

namespace talvori {

// A rounded rectangle whose top edge lies `beakHeight` below the top of its frame, with a
// triangular beak on that edge pointing up at `beakCenterX` (from the frame's left edge): the
// bubble of the callouts under the status item. Above an item, `pointsDown` puts the beak on the
// bottom edge instead. The apex stays at least `beakHalfWidth` + 1 from either side; a beak
// nearer a side than `cornerRadius` + `beakHalfWidth` rounds the corner beside it less, so that
// the beak can point at a tray icon close to the screen's edge. Changing the beak's place redraws
// it there at once; nothing animates it.
class CoachMarkShape : public ui::Shape {
  public:
    CoachMarkShape(double beakCenterX, double beakHeight, double beakHalfWidth, double cornerRadius,
                   bool pointsDown = false);

    // Where the apex stands in a frame `width` wide. In a frame too narrow for both margins the
    // right one wins.
    static double clampedBeakCenter(double beakCenterX, double width, double beakHalfWidth);
};

}  // namespace talvori

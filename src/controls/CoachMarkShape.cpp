#include "controls/CoachMarkShape.hpp"

#include <algorithm>

namespace talvori {

double CoachMarkShape::clampedBeakCenter(double beakCenterX, double width, double beakHalfWidth,
                                         double cornerRadius) {
    const double margin = cornerRadius + beakHalfWidth;
    return std::min(width - margin, std::max(margin, beakCenterX));
}

CoachMarkShape::CoachMarkShape(double beakCenterX, double beakHeight, double beakHalfWidth,
                               double cornerRadius)
    : Shape([=](const Rect& rect) {
          const double apex = rect.origin.x + clampedBeakCenter(beakCenterX, rect.size.width,
                                                                beakHalfWidth, cornerRadius);
          const double left = rect.origin.x;
          const double right = rect.origin.x + rect.size.width;
          const double top = rect.origin.y + beakHeight;
          const double bottom = rect.origin.y + rect.size.height;
          // A body lower than two radii would make the corner arcs cross.
          const double radius = std::min(cornerRadius, std::max(0.0, (bottom - top) / 2));
          ui::Path path;
          path.moveTo({left + radius, top});
          path.lineTo({apex - beakHalfWidth, top});
          path.lineTo({apex, rect.origin.y});
          path.lineTo({apex + beakHalfWidth, top});
          path.addArcTo({right, top}, {right, bottom}, radius);
          path.addArcTo({right, bottom}, {left, bottom}, radius);
          path.addArcTo({left, bottom}, {left, top}, radius);
          path.addArcTo({left, top}, {right, top}, radius);
          path.closeSubpath();
          return path;
      }) {}

}  // namespace talvori

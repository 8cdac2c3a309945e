#include "controls/CoachMarkShape.hpp"

#include <algorithm>

namespace talvori {

double CoachMarkShape::clampedBeakCenter(double beakCenterX, double width, double beakHalfWidth) {
    const double margin = beakHalfWidth + 1;
    return std::min(width - margin, std::max(margin, beakCenterX));
}

CoachMarkShape::CoachMarkShape(double beakCenterX, double beakHeight, double beakHalfWidth,
                               double cornerRadius, bool pointsDown)
    : Shape([=](const Rect& rect) {
          const double apex =
              rect.origin.x + clampedBeakCenter(beakCenterX, rect.size.width, beakHalfWidth);
          const double left = rect.origin.x;
          const double right = rect.origin.x + rect.size.width;
          const double frameTop = rect.origin.y;
          const double frameBottom = rect.origin.y + rect.size.height;
          // The body's edge that carries the beak, the beak's tip, and the body's far edge.
          const double beakEdge = pointsDown ? frameBottom - beakHeight : frameTop + beakHeight;
          const double tip = pointsDown ? frameBottom : frameTop;
          const double farEdge = pointsDown ? frameTop : frameBottom;
          // A body lower than two radii would make the corner arcs cross.
          const double radius =
              std::min(cornerRadius, std::max(0.0, (rect.size.height - beakHeight) / 2));
          // The corners beside the beak give way to it.
          const double leftRadius = std::clamp(apex - beakHalfWidth - left, 0.0, radius);
          const double rightRadius = std::clamp(right - apex - beakHalfWidth, 0.0, radius);
          ui::Path path;
          path.moveTo({left + leftRadius, beakEdge});
          path.lineTo({apex - beakHalfWidth, beakEdge});
          path.lineTo({apex, tip});
          path.lineTo({apex + beakHalfWidth, beakEdge});
          path.addArcTo({right, beakEdge}, {right, farEdge}, rightRadius);
          path.addArcTo({right, farEdge}, {left, farEdge}, radius);
          path.addArcTo({left, farEdge}, {left, beakEdge}, radius);
          path.addArcTo({left, beakEdge}, {right, beakEdge}, leftRadius);
          path.closeSubpath();
          return path;
      }) {}

}  // namespace talvori

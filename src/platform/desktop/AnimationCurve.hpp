#pragma once

namespace talvori {

// Timing curves of animations, as cubic Bézier curves from (0, 0) to (1, 1):
// ease-out (0, 0, 0.58, 1), ease-in (0.42, 0, 1, 1), ease-in-out (0.42, 0, 0.58, 1).
enum class AnimationCurve { linear, easeIn, easeOut, easeInOut };

// The eased progress at `fraction` of the duration; both clamped to 0...1.
double animationProgress(AnimationCurve curve, double fraction);

}  // namespace talvori

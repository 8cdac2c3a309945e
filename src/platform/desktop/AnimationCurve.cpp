#include "platform/desktop/AnimationCurve.hpp"

#include <algorithm>
#include <cmath>

namespace talvori {

namespace {

struct Bezier {
    double x1, y1, x2, y2;

    static double coordinate(double p1, double p2, double t) {
        const double u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    }
    static double slope(double p1, double p2, double t) {
        const double u = 1 - t;
        return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
    }

    // Finds t with x(t) = x by Newton's method, falling back to bisection where the slope is flat.
    double parameterFor(double x) const {
        double t = x;
        for (int i = 0; i < 8; ++i) {
            const double error = coordinate(x1, x2, t) - x;
            if (std::abs(error) < 1e-9) return t;
            const double derivative = slope(x1, x2, t);
            if (std::abs(derivative) < 1e-6) break;
            t = std::clamp(t - error / derivative, 0.0, 1.0);
        }
        double low = 0, high = 1;
        t = x;
        for (int i = 0; i < 60; ++i) {
            const double value = coordinate(x1, x2, t);
            if (std::abs(value - x) < 1e-9) break;
            (value < x ? low : high) = t;
            t = (low + high) / 2;
        }
        return t;
    }

    double valueAt(double x) const { return coordinate(y1, y2, parameterFor(x)); }
};

}  // namespace

double animationProgress(AnimationCurve curve, double fraction) {
    if (!(fraction > 0)) return 0;
    if (fraction >= 1) return 1;
    switch (curve) {
        case AnimationCurve::linear:
            return fraction;
        case AnimationCurve::easeIn:
            return Bezier{0.42, 0, 1, 1}.valueAt(fraction);
        case AnimationCurve::easeOut:
            return Bezier{0, 0, 0.58, 1}.valueAt(fraction);
        case AnimationCurve::easeInOut:
            return Bezier{0.42, 0, 0.58, 1}.valueAt(fraction);
    }
    return fraction;
}

}  // namespace talvori

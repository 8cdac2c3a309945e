#include "ui/Animation.hpp"

#include <algorithm>
#include <cmath>

namespace talvori::ui {

namespace {
double bezier(double t, double p1, double p2) {
    const double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}
}  // namespace

double Animation::solveCurve(double x) const {
    if (x1_ == y1_ && x2_ == y2_) return x;  // linear
    // The curve's x is monotonic in t: bisection converges reliably and fast enough for a frame.
    double low = 0, high = 1, t = x;
    for (int i = 0; i < 40; ++i) {
        const double value = bezier(t, x1_, x2_);
        if (std::abs(value - x) < 1e-7) break;
        if (value < x)
            low = t;
        else
            high = t;
        t = (low + high) / 2;
    }
    return bezier(t, y1_, y2_);
}

double Animation::progress(double elapsed) const {
    const double active = elapsed - delay_;
    if (active <= 0) return 0;
    if (duration_ <= 0 || active >= duration_) return 1;
    return solveCurve(std::clamp(active / duration_, 0.0, 1.0));
}

}  // namespace talvori::ui

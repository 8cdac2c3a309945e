#pragma once

namespace talvori {

// One keyboard step of a Focus setting: to the next multiple of `step` in the chosen direction,
// kept within [low, high], and never in the wrong direction. A value within rounding error of a
// multiple counts as that multiple, so 0.3 steps up to 0.4, not to 0.3.
struct StepRule {
    double step;
    double low;
    double high;

    double stepped(double value, bool up) const;

    static const StepRule opacity;
    static const StepRule blur;
};

}  // namespace talvori

#include "focus/StepRule.hpp"

#include <algorithm>
#include <cmath>

namespace talvori {

namespace {
constexpr double kSlack = 0.000001;
}

const StepRule StepRule::opacity{0.1, 0.1, 1.0};
const StepRule StepRule::blur{5.0, 0.0, 50.0};

double StepRule::stepped(double value, bool up) const {
    const double quotient = value / step;
    const double multiple =
        up ? std::floor(quotient + kSlack) + 1.0 : std::ceil(quotient - kSlack) - 1.0;
    double result = std::round(multiple * step * 1'000'000.0) / 1'000'000.0;
    if (result <= low) result = low;
    if (result > high) result = high;
    return up ? std::max(result, value) : std::min(value, result);
}

}  // namespace talvori

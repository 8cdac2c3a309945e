#include "platform/core/Time.hpp"

#include <cmath>
#include <limits>

namespace talvori {

namespace {
// About 292 years / 4: far enough to mean "never", small enough that sums cannot overflow.
constexpr Nanoseconds kFarFuture = std::numeric_limits<Nanoseconds>::max() / 4;
}  // namespace

Nanoseconds nanosecondsFromSeconds(double seconds) {
    if (!std::isfinite(seconds)) return 0;
    const double nanoseconds = std::round(seconds * 1e9);
    if (nanoseconds >= static_cast<double>(kFarFuture)) return kFarFuture;
    if (nanoseconds <= -static_cast<double>(kFarFuture)) return -kFarFuture;
    return static_cast<Nanoseconds>(nanoseconds);
}

double secondsFromNanoseconds(Nanoseconds nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e9;
}

Nanoseconds addSaturating(Nanoseconds time, Nanoseconds delta) {
    if (delta > 0 && time > kFarFuture - delta) return kFarFuture;
    if (delta < 0 && time < -kFarFuture - delta) return -kFarFuture;
    return time + delta;
}

}  // namespace talvori

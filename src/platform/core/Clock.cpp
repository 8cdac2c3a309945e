#include "platform/core/Clock.hpp"

#include <algorithm>
#include <chrono>

namespace talvori {

Nanoseconds RealClock::nowNanoseconds() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
}

double RealClock::date() const {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count();
}

void VirtualClock::advance(double seconds) {
    advanceTo(secondsFromNanoseconds(addSaturating(now_, nanosecondsFromSeconds(seconds))));
}

void VirtualClock::advanceTo(double time) {
    const Nanoseconds target = std::max(now_, nanosecondsFromSeconds(time));
    if (driver_) driver_(target);
    setNow(target);
}

void VirtualClock::runUntilIdle() {
    if (driver_) driver_(now_);
}

void VirtualClock::setNow(Nanoseconds now) {
    now_ = std::max(now_, now);
}

}  // namespace talvori

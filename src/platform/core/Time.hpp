#pragma once

#include <cstdint>

namespace talvori {

// Monotonic time is kept in whole nanoseconds so that virtual time adds up exactly: ten steps of
// 0.1 s land on 1 s, and two timers due "at the same time" really tie.
using Nanoseconds = std::int64_t;

// Converts seconds to nanoseconds, rounding to the nearest. Non-finite input reads as 0 and huge
// values saturate far in the future, so a bad interval can never overflow a deadline.
Nanoseconds nanosecondsFromSeconds(double seconds);

double secondsFromNanoseconds(Nanoseconds nanoseconds);

// Adds without overflowing: deadlines saturate at the far future.
Nanoseconds addSaturating(Nanoseconds time, Nanoseconds delta);

}  // namespace talvori

#pragma once

#include <limits>
#include <type_traits>

namespace talvori {

// Converts a double to an integer type without undefined behaviour, for numbers that come from
// stored or computed values: truncates toward zero, clamps to the type's range, and reads NaN as 0.
template <class Integer>
constexpr Integer saturatingCast(double value) {
    static_assert(std::is_integral_v<Integer>);
    constexpr Integer lowest = std::numeric_limits<Integer>::min();
    constexpr Integer highest = std::numeric_limits<Integer>::max();
    if (value != value) return 0;
    if (value <= static_cast<double>(lowest)) return lowest;
    // The highest value of a 64-bit type rounds up to 2^63 as a double, so >= catches it exactly.
    if (value >= static_cast<double>(highest)) return highest;
    return static_cast<Integer>(value);
}

}  // namespace talvori

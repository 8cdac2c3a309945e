#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/core/SaturatingCast.hpp"

namespace talvori {
namespace {

TEST(SaturatingCastTest, TruncatesTowardZeroInsideTheRange) {
    EXPECT_EQ(saturatingCast<int>(299.7), 299);
    EXPECT_EQ(saturatingCast<int>(-299.7), -299);
    EXPECT_EQ(saturatingCast<int>(-0.0), 0);
    EXPECT_EQ(saturatingCast<std::int32_t>(2147483646.9), 2147483646);
}

TEST(SaturatingCastTest, ClampsAtTheEndsOfTheRangeAndReadsNaNAsZero) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(saturatingCast<std::int32_t>(1e300), INT32_MAX);
    EXPECT_EQ(saturatingCast<std::int32_t>(-1e300), INT32_MIN);
    EXPECT_EQ(saturatingCast<std::int64_t>(infinity), INT64_MAX);
    EXPECT_EQ(saturatingCast<std::int64_t>(-infinity), INT64_MIN);
    EXPECT_EQ(saturatingCast<std::int64_t>(9223372036854775807.0), INT64_MAX);
    EXPECT_EQ(saturatingCast<std::uint8_t>(-3.0), 0);
    EXPECT_EQ(saturatingCast<std::uint8_t>(300.0), 255);
    EXPECT_EQ(saturatingCast<int>(std::nan("")), 0);
    static_assert(saturatingCast<std::int16_t>(40000.0) == INT16_MAX);
}

}  // namespace
}  // namespace talvori

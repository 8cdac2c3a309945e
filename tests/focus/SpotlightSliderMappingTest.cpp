#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "focus/SpotlightSliderMapping.hpp"

namespace talvori {
namespace {

using Mapping = SpotlightSliderMapping;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(SpotlightSliderMappingTest, APointerGivesItsShareOfTheTrackWithinTheEnds) {
    EXPECT_EQ(Mapping::position(50, 200), 0.25);
    EXPECT_EQ(Mapping::position(-12, 200), 0.0);
    EXPECT_EQ(Mapping::position(260, 200), 1.0);
}

TEST(SpotlightSliderMappingTest, ASliderWithoutWidthGivesNoPositionAndNoNumberGivesZero) {
    for (const double width : {0.0, -4.0, kNaN, kInfinity})
        EXPECT_EQ(Mapping::position(10, width), std::nullopt) << width;
    EXPECT_EQ(Mapping::position(kNaN, 200), 0.0);
    EXPECT_EQ(Mapping::position(kInfinity, 200), 0.0);
    EXPECT_EQ(Mapping::position(-kInfinity, 200), 0.0);
    // Whatever reaches the setters stays in range.
    EXPECT_EQ(Mapping::dimOpacity(kNaN), 0.1);
    EXPECT_EQ(Mapping::glassOpacity(kNaN), 0.0);
    EXPECT_EQ(Mapping::blurRadius(kNaN), 0.0);
    EXPECT_EQ(Mapping::fadeDuration(kNaN), 0.05);
}

TEST(SpotlightSliderMappingTest, EachSliderSendsItsOwnRange) {
    EXPECT_EQ(Mapping::dimOpacity(0), 0.1) << "Dim never goes below a tenth";
    EXPECT_EQ(Mapping::dimOpacity(0.75), 0.75);
    EXPECT_EQ(Mapping::glassOpacity(0), 0.0);
    EXPECT_EQ(Mapping::glassOpacity(1), 1.0);
    EXPECT_EQ(Mapping::blurRadius(0.75), 37.5);
    EXPECT_EQ(Mapping::blurRadius(1), 50.0);
    EXPECT_EQ(Mapping::fadeDuration(0), 0.05);
    EXPECT_EQ(Mapping::fadeDuration(0.5), 0.25);
    EXPECT_EQ(Mapping::fadeDuration(1), 0.45);
    EXPECT_EQ(Mapping::fadeDuration(0.51), 0.25) << "in steps of 10 ms";
    EXPECT_EQ(Mapping::fadeDuration(0.0125), 0.06) << "halves round away from zero";
}

TEST(SpotlightSliderMappingTest, AFadeDurationSurvivesTheWayToTheThumbAndBack) {
    EXPECT_EQ(Mapping::fadePosition(0.05), 0.0);
    EXPECT_EQ(Mapping::fadePosition(0.01), 0.0);
    EXPECT_EQ(Mapping::fadePosition(0.9), 1.0);
    EXPECT_DOUBLE_EQ(Mapping::fadePosition(0.25), 0.5);
    for (int hundredths = 5; hundredths <= 45; ++hundredths) {
        const double seconds = hundredths / 100.0;
        EXPECT_EQ(Mapping::fadeDuration(Mapping::fadePosition(seconds)), seconds) << seconds;
    }
}

TEST(SpotlightSliderMappingTest, OpacitiesAndBlurShowTheirIntegerPartAndTheFadeIsRounded) {
    EXPECT_EQ(Mapping::percentReading(0.289999), (SliderReading{"28%", "28 percent"}));
    EXPECT_EQ(Mapping::percentReading(0.1), (SliderReading{"10%", "10 percent"}));
    EXPECT_EQ(Mapping::percentReading(0), (SliderReading{"0%", "0 percent"}));
    EXPECT_EQ(Mapping::blurReading(37.9), (SliderReading{"37", "37"}));
    EXPECT_EQ(Mapping::fadeReading(0.2495), (SliderReading{"250 ms", "250 milliseconds"}));
    EXPECT_EQ(Mapping::fadeReading(0.05), (SliderReading{"50 ms", "50 milliseconds"}));
    // Stored values are any finite number; none of them may break the text.
    EXPECT_EQ(Mapping::blurReading(1e300).shown, "9223372036854775807");
    EXPECT_EQ(Mapping::percentReading(-1e300).shown, "-9223372036854775808%");
    EXPECT_EQ(Mapping::blurReading(kNaN).shown, "0");
}

}  // namespace
}  // namespace talvori

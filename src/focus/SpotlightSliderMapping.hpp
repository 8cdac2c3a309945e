#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace talvori {

// What a slider row of the Focus card shows of its setting: the number in the row and the
// number a screen reader speaks.
struct SliderReading {
    std::string shown;
    std::string spoken;
    bool operator==(const SliderReading&) const = default;
};

// How the Focus card's sliders turn a pointer into a setting, and a setting into a thumb position
// and a number. Positions run from 0 at the track's leading end to 1 at its trailing end.
struct SpotlightSliderMapping {
    static constexpr double kMinimumDimOpacity = 0.1;
    static constexpr double kMaximumBlurRadius = 50;

    // The position under a pointer `x` points from the leading edge of a slider `width` wide;
    // none while the slider has no width, so that nothing is sent. A position that is not a number
    // reads as 0.
    static std::optional<double> position(double x, double width);

    // Any number as a position: clamped to 0...1, with NaN at 0.
    static double clampedPosition(double value);

    // The values each slider sends for a position.
    static double dimOpacity(double position);
    static double glassOpacity(double position);
    static double blurRadius(double position);
    // 0.05 s at the leading end to 0.45 s at the trailing end, in hundredths.
    static double fadeDuration(double position);

    // Where a setting puts the fade slider's thumb.
    static double fadePosition(double seconds);
    static double blurPosition(double radius);

    // Opacities and blur show their integer part; the fade shows whole milliseconds, rounded.
    static SliderReading percentReading(double opacity);
    static SliderReading blurReading(double radius);
    static SliderReading fadeReading(double seconds);
};

}  // namespace talvori

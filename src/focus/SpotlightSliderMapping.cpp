#include "focus/SpotlightSliderMapping.hpp"

#include <algorithm>
#include <cmath>

#include "focus/SpotlightModel.hpp"
#include "platform/core/SaturatingCast.hpp"

namespace talvori {

namespace {

constexpr double kShortestFade = 0.05;
constexpr double kLongestFade = 0.45;

// Written so that NaN lands on the lower bound instead of passing both.
double clampedTo(double value, double low, double high) {
    return value > low ? std::min(value, high) : low;
}

std::string integerText(double value) {
    return std::to_string(saturatingCast<std::int64_t>(value));
}

}  // namespace

std::optional<double> SpotlightSliderMapping::position(double x, double width) {
    if (!(width > 0) || !std::isfinite(width)) return std::nullopt;
    const double fraction = x / width;
    if (!std::isfinite(fraction)) return 0.0;
    return clampedPosition(fraction);
}

double SpotlightSliderMapping::clampedPosition(double value) {
    return clampedTo(value, 0, 1);
}

double SpotlightSliderMapping::dimOpacity(double position) {
    return clampedTo(position, kMinimumDimOpacity, 1);
}

double SpotlightSliderMapping::glassOpacity(double position) {
    return clampedPosition(position);
}

double SpotlightSliderMapping::blurRadius(double position) {
    return clampedTo(position * kMaximumBlurRadius, 0, kMaximumBlurRadius);
}

double SpotlightSliderMapping::fadeDuration(double position) {
    const double span = kLongestFade - kShortestFade;
    return SpotlightModel::clampedFadeDuration(clampedPosition(position) * span + kShortestFade);
}

double SpotlightSliderMapping::fadePosition(double seconds) {
    if (seconds <= kShortestFade) return 0;
    return (std::min(seconds, kLongestFade) - kShortestFade) / (kLongestFade - kShortestFade);
}

double SpotlightSliderMapping::blurPosition(double radius) {
    return radius / kMaximumBlurRadius;
}

SliderReading SpotlightSliderMapping::percentReading(double opacity) {
    const std::string number = integerText(opacity * 100);
    return {number + "%", number + " percent"};
}

SliderReading SpotlightSliderMapping::blurReading(double radius) {
    const std::string number = integerText(radius);
    return {number, number};
}

SliderReading SpotlightSliderMapping::fadeReading(double seconds) {
    const std::string number = integerText(std::round(seconds * 1000));
    return {number + " ms", number + " milliseconds"};
}

}  // namespace talvori

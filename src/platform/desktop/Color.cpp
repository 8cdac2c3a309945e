#include "platform/desktop/Color.hpp"

#include <algorithm>
#include <cmath>

namespace talvori {

namespace {
double mix(double from, double to, double fraction) {
    return from + (to - from) * fraction;
}

// NaN reads as 0, like any other value outside 0...1 it is brought back into range.
double unit(double value) {
    return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0);
}
}  // namespace

Color Color::interpolated(const Color& other, double fraction) const {
    return {mix(red, other.red, fraction), mix(green, other.green, fraction),
            mix(blue, other.blue, fraction), mix(alpha, other.alpha, fraction)};
}

Color Color::fromHSB(double hue, double saturation, double brightness, double alpha) {
    const double h = unit(hue) * 6;
    const double s = unit(saturation), v = unit(brightness);
    const int sector = static_cast<int>(std::floor(h)) % 6;
    const double f = h - std::floor(h);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (sector) {
        case 0:
            return {v, t, p, alpha};
        case 1:
            return {q, v, p, alpha};
        case 2:
            return {p, v, t, alpha};
        case 3:
            return {p, q, v, alpha};
        case 4:
            return {t, p, v, alpha};
        default:
            return {v, p, q, alpha};
    }
}

namespace {
// The channels as hue, saturation and brightness read them: brought into 0...1 first, so that a
// colour from outside the gamut still lands inside the picker.
struct Channels {
    double red, green, blue;
    explicit Channels(const Color& color)
        : red(unit(color.red)), green(unit(color.green)), blue(unit(color.blue)) {}
    double most() const { return std::max({red, green, blue}); }
    double range() const { return most() - std::min({red, green, blue}); }
};
}  // namespace

double Color::brightnessComponent() const {
    return Channels(*this).most();
}

double Color::saturationComponent() const {
    const Channels channels(*this);
    return channels.most() <= 0 ? 0 : channels.range() / channels.most();
}

double Color::hueComponent() const {
    const Channels c(*this);
    const double most = c.most(), range = c.range();
    if (range <= 0) return 0;
    double hue;
    if (most == c.red) {
        hue = (c.green - c.blue) / range;
    } else if (most == c.green) {
        hue = 2 + (c.blue - c.red) / range;
    } else {
        hue = 4 + (c.red - c.green) / range;
    }
    hue /= 6;
    return hue < 0 ? hue + 1 : hue;
}

}  // namespace talvori

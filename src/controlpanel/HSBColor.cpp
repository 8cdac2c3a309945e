#include "controlpanel/HSBColor.hpp"

#include <algorithm>
#include <cmath>

namespace talvori {

namespace {

double unit(double value) {
    return value > 0 ? std::min(value, 1.0) : 0.0;
}

}  // namespace

HSBColor HSBColor::of(const Color& color) {
    const double red = unit(color.red), green = unit(color.green), blue = unit(color.blue);
    const double maximum = std::max({red, green, blue});
    const double delta = maximum - std::min({red, green, blue});
    HSBColor hsb{0, maximum > 0 ? delta / maximum : 0, maximum};
    if (delta <= 0) return hsb;
    double sector;
    if (maximum == red) {
        sector = (green - blue) / delta;
    } else if (maximum == green) {
        sector = (blue - red) / delta + 2;
    } else {
        sector = (red - green) / delta + 4;
    }
    hsb.hue = sector / 6;
    if (hsb.hue < 0) hsb.hue += 1;
    return hsb;
}

Color HSBColor::color(double alpha) const {
    const double value = unit(brightness);
    const double chroma = value * unit(saturation);
    // Hue 1 wraps to 0, so both ends of the bar are red.
    const double sector = (unit(hue) >= 1 ? 0 : unit(hue)) * 6;
    const double second = chroma * (1 - std::abs(std::fmod(sector, 2) - 1));
    double red = 0, green = 0, blue = 0;
    switch (static_cast<int>(sector)) {
        case 0:
            red = chroma, green = second;
            break;
        case 1:
            red = second, green = chroma;
            break;
        case 2:
            green = chroma, blue = second;
            break;
        case 3:
            green = second, blue = chroma;
            break;
        case 4:
            red = second, blue = chroma;
            break;
        default:
            red = chroma, blue = second;
            break;
    }
    const double base = value - chroma;
    return {red + base, green + base, blue + base, alpha};
}

}  // namespace talvori

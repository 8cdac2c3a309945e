#pragma once

#include "platform/desktop/Color.hpp"

namespace talvori {

// A colour as hue, saturation and brightness, each 0 to 1, as the colour picker's square and bar
// show it. A grey has hue 0 and saturation 0; hue 1 is red again, like hue 0.
struct HSBColor {
    double hue = 0;
    double saturation = 0;
    double brightness = 0;

    static HSBColor of(const Color& color);
    Color color(double alpha = 1) const;
};

}  // namespace talvori

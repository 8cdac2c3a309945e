#pragma once

#include <string>

namespace talvori::ui {

// An sRGB colour with straight (not premultiplied) alpha, components from 0 to 1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const Color&) const = default;

    static Color rgb(double red, double green, double blue, double alpha = 1) {
        return {red, green, blue, alpha};
    }
    // From 0-255 channels, as design tables give them.
    static Color rgb255(int red, int green, int blue, double alpha = 1) {
        return {red / 255.0, green / 255.0, blue / 255.0, alpha};
    }
    static Color white(double opacity = 1) { return {1, 1, 1, opacity}; }
    static Color black(double opacity = 1) { return {0, 0, 0, opacity}; }
    // Grey by white level.
    static Color gray(double level, double opacity = 1) { return {level, level, level, opacity}; }
    static Color clear() { return {0, 0, 0, 0}; }

    // The same colour with its alpha multiplied by `factor`.
    Color opacity(double factor) const { return {red, green, blue, alpha * factor}; }
    bool isClear() const { return alpha <= 0; }
    // "#RRGGBBAA", for dumps and test messages.
    std::string description() const;
};

}  // namespace talvori::ui

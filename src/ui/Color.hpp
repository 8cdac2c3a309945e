#pragma once

#include <string>

#include "platform/desktop/Color.hpp"

namespace talvori::ui {

// The platform's sRGB colour (straight alpha, components from 0 to 1) with the constructors views
// use; it converts to and from talvori::Color freely.
struct Color : talvori::Color {
    constexpr Color() = default;
    constexpr Color(double red, double green, double blue, double alpha = 1)
        : talvori::Color{red, green, blue, alpha} {}
    constexpr Color(const talvori::Color& color) : talvori::Color(color) {}  // NOLINT: same colour

    static constexpr Color rgb(double red, double green, double blue, double alpha = 1) {
        return {red, green, blue, alpha};
    }
    // From 0-255 channels, as design tables give them.
    static constexpr Color rgb255(int red, int green, int blue, double alpha = 1) {
        return {red / 255.0, green / 255.0, blue / 255.0, alpha};
    }
    static constexpr Color white(double opacity = 1) { return {1, 1, 1, opacity}; }
    static constexpr Color black(double opacity = 1) { return {0, 0, 0, opacity}; }
    // Grey by white level.
    static constexpr Color gray(double level, double opacity = 1) {
        return {level, level, level, opacity};
    }
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    static Color hsb(double hue, double saturation, double brightness, double alpha = 1) {
        return talvori::Color::fromHSB(hue, saturation, brightness, alpha);
    }
    static constexpr Color systemGray() { return talvori::Color::systemGray(); }

    // The same colour with its alpha multiplied by `factor`.
    Color opacity(double factor) const { return {red, green, blue, alpha * factor}; }
    bool isClear() const { return alpha <= 0; }
    // "#RRGGBBAA", for dumps and test messages.
    std::string description() const;
};

}  // namespace talvori::ui

#pragma once

namespace talvori {

// An sRGB colour with alpha, every component from 0 to 1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    bool operator==(const Color&) const = default;

    static constexpr Color clear() { return {0, 0, 0, 0}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color white() { return {1, 1, 1, 1}; }
    // From 0-255 channels.
    static constexpr Color rgb255(int red, int green, int blue, double alpha = 1) {
        return {red / 255.0, green / 255.0, blue / 255.0, alpha};
    }

    // The platform's neutral grey of controls and placeholders, as dark windows show it.
    static constexpr Color systemGray() { return rgb255(152, 152, 157); }
    // From hue, saturation and brightness, each from 0 to 1 (values beyond are clamped); hue 0 and
    // hue 1 are both red.
    static Color fromHSB(double hue, double saturation, double brightness, double alpha = 1);
    // The colour's hue, saturation and brightness, each from 0 to 1; a grey has hue 0 and
    // saturation 0.
    double hueComponent() const;
    double saturationComponent() const;
    double brightnessComponent() const;

    Color withAlpha(double newAlpha) const { return {red, green, blue, newAlpha}; }
    // Component-wise blend: `fraction` 0 gives this colour, 1 gives `other`.
    Color interpolated(const Color& other, double fraction) const;
};

}  // namespace talvori

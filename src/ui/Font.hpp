#pragma once

namespace talvori::ui {

enum class FontWeight { regular, medium, semibold, bold };

// The system font (Inter) at a size in points.
struct Font {
    double size = 13;
    FontWeight weight = FontWeight::regular;
    // Digits of one width (tabular figures), so that changing numbers do not jitter.
    bool monospacedDigits = false;
    bool operator==(const Font&) const = default;

    static Font system(double size, FontWeight weight = FontWeight::regular) {
        return {size, weight, false};
    }
    Font monospacedDigit() const { return {size, weight, true}; }
    Font weighted(FontWeight newWeight) const { return {size, newWeight, monospacedDigits}; }
};

}  // namespace talvori::ui

#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/core/JsonValue.hpp"
#include "platform/desktop/Color.hpp"

namespace talvori {

// A colour as four sRGB components, 0 to 1.
struct CodableColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    // The platform colour's components as they are: not quantised, alpha kept.
    static CodableColor fromPlatformColor(const Color& color);
    // The colour as an opaque six-digit upper-case hex text ("FF8000") and the colour that text
    // stands for: each channel taken to the nearest of 256 steps, halves away from zero, with
    // alpha 1. Absent for a colour that has no sRGB form.
    static std::optional<std::pair<std::string, CodableColor>> opaqueHex(const Color& color);

    // Exact: no tolerance.
    bool operator==(const CodableColor&) const = default;

    JsonValue toJson() const;
    // Every key is required and must hold a finite number.
    static std::optional<CodableColor> fromJson(const JsonValue& json);
};

}  // namespace talvori

#pragma once

#include <optional>

#include "platform/core/Json.hpp"

namespace talvori {

// A colour as four sRGB components, 0 to 1.
struct CodableColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    // Exact: no tolerance.
    bool operator==(const CodableColor&) const = default;

    JsonValue toJson() const;
    // Every key is required and must hold a finite number.
    static std::optional<CodableColor> fromJson(const JsonValue& json);
};

}  // namespace talvori

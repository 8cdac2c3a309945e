#pragma once

#include <optional>

#include "platform/core/Geometry.hpp"
#include "platform/core/JsonValue.hpp"

namespace talvori {

// A rectangle in the global screen space (origin at the bottom left of the first screen, y up), as
// a cover record stores it.
struct CodableRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    static CodableRect fromRect(const Rect& rect) {
        return {rect.minX(), rect.minY(), rect.width(), rect.height()};
    }
    Rect rect() const { return Rect(x, y, width, height); }

    // Exact: no tolerance.
    bool operator==(const CodableRect&) const = default;

    JsonValue toJson() const;
    // Every key is required and must hold a finite number.
    static std::optional<CodableRect> fromJson(const JsonValue& json);
};

}  // namespace talvori

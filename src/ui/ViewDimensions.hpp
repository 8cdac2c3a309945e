#pragma once

#include <optional>

#include "ui/Alignment.hpp"

namespace talvori::ui {

// A view's size and first text baseline, as an alignment guide sees them: `d[VerticalAlignment::
// bottom] + 3` is three points below the view's bottom edge.
struct ViewDimensions {
    double width = 0;
    double height = 0;
    // None for a view without text.
    std::optional<double> firstTextBaseline{};

    double operator[](HorizontalAlignment guide) const { return alignedOffset(guide, 0, -width); }
    double operator[](VerticalAlignment guide) const {
        if (guide == VerticalAlignment::firstTextBaseline)
            return firstTextBaseline.value_or(height);
        return alignedOffset(guide, 0, -height);
    }
};

}  // namespace talvori::ui

#pragma once

#include <cstdint>

#include "ui/UI.hpp"

namespace talvori::ui {

// The page indicator of the first-run window: one dot per page, the current one larger and in
// the accent colour; a screen reader hears "Step 2 of 3". Pages count from 0.
struct StepDots {
    static constexpr double kSpacing = 8;
    static constexpr double kCurrentDiameter = 8;
    static constexpr double kOtherDiameter = 6;

    std::int64_t current = 0;
    std::int64_t total = 0;

    // "Step %lld of %lld" with current + 1 and total.
    std::string accessibilityText() const;
    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui

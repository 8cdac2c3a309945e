#include "onboarding/StepDots.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "covers/Palette.hpp"

namespace talvori::ui {

namespace {

// A count that cannot be drawn (a negative one) draws no dots and is read as none; a huge one is
// as long as a row of dots can usefully be.
constexpr std::int64_t kMostDots = 64;

std::int64_t drawnCount(std::int64_t total) {
    return std::clamp<std::int64_t>(total, 0, kMostDots);
}

}  // namespace

std::string StepDots::accessibilityText() const {
    const std::int64_t shown =
        current < std::numeric_limits<std::int64_t>::max() ? current + 1 : current;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Step %" PRId64 " of %" PRId64, shown,
                  std::max<std::int64_t>(total, 0));
    return buffer;
}

View StepDots::body(ViewContext<NoState>& ctx) const {
    ViewList dots;
    for (std::int64_t index = 0; index < drawnCount(total); ++index) {
        const bool isCurrent = index == current;
        const double diameter = isCurrent ? kCurrentDiameter : kOtherDiameter;
        dots.push_back(Circle()
                           .fill(isCurrent ? Color(Palette::accent) : Color::white(0.15))
                           .frame(diameter, diameter));
    }
    return HStack(VerticalAlignment::center, kSpacing, std::move(dots))
        .animation(ctx.animation(Animation::easeOut(0.2)), current)
        .accessibilityElement(AccessibilityChildren::ignore)
        .accessibilityLabel(accessibilityText());
}

}  // namespace talvori::ui

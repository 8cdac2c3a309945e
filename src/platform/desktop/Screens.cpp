#include "platform/desktop/Screens.hpp"

#include <algorithm>

namespace talvori {

double Screens::primaryHeight() const {
    const auto all = screens();
    return all.empty() ? 0.0 : all.front().frame.height();
}

std::optional<Screen> Screens::screenFor(const Rect& frame) const {
    std::optional<Screen> best;
    double bestArea = 0;
    for (const Screen& screen : screens()) {
        const Rect common = screen.frame.intersection(frame);
        const double area = common.width() * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    return best;
}

Rect Screens::keptOnScreen(const Rect& frame, const std::vector<Screen>& screens) {
    if (screens.empty()) return frame;
    const auto area = [&frame](const Screen& screen) {
        const Rect shared = frame.intersection(screen.frame);
        return shared.width() * shared.height();
    };
    const Screen& home =
        *std::max_element(screens.begin(), screens.end(),
                          [&area](const Screen& a, const Screen& b) { return area(a) < area(b); });
    const Rect& visible = home.visibleFrame;
    const double lift = std::max(0.0, visible.minY() - frame.minY());
    const double room = std::max(0.0, visible.maxY() - frame.maxY());
    return {frame.minX(), frame.minY() + std::min(lift, room), frame.width(), frame.height()};
}

Rect Screens::spanned(const std::vector<Screen>& screens) {
    if (screens.empty()) return Rect();
    Rect span = screens.front().frame;
    for (const Screen& screen : screens) {
        const double left = std::min(span.minX(), screen.frame.minX());
        const double bottom = std::min(span.minY(), screen.frame.minY());
        const double right = std::max(span.maxX(), screen.frame.maxX());
        const double top = std::max(span.maxY(), screen.frame.maxY());
        span = {left, bottom, right - left, top - bottom};
    }
    return span;
}

}  // namespace talvori

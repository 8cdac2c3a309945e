#include "covers/WindowBlurView.hpp"

#include <utility>

namespace talvori {

ui::View WindowBlurView::body(ui::ViewContext<ui::NoState>&) const {
    return ui::View(ui::Color::clear())
        .allowsHitTesting(false)
        .onChange(
            std::pair(radius, hudVisible),
            [host = host](const std::pair<double, bool>& now) {
                if (host) host->applyBlur(now.first, now.second);
            },
            true);
}

}  // namespace talvori

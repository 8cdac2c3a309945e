#include "menubar/MainWindowView.hpp"

#include <limits>

#include "app/WindowManager.hpp"
#include "focus/SpotlightCard.hpp"

namespace talvori::ui {

View MainWindowView::body(ViewContext<NoState>&) const {
    const auto manager = windowManager.lock();
    if (!manager) return View();
    return VStack(0, {SpotlightCard{manager->sharedSpotlightController()}})
        .frame({.width = kWidth})
        .onSizeChange([onHeightChange = onHeightChange](Size size) {
            if (onHeightChange) onHeightChange(size.height);
        })
        .frame({.minHeight = 0,
                .maxHeight = std::numeric_limits<double>::infinity(),
                .alignment = Alignment::top()})
        .background(kBackground);
}

}  // namespace talvori::ui

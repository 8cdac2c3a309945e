#include "covers/BlurHostView.hpp"

#include "platform/Platform.hpp"
#include "platform/core/SaturatingCast.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

void BlurHostView::setWindowRadius(Panel& window, double radius) const {
    window.setBackgroundBlurRadius(saturatingCast<int>(radius));
}

void BlurHostView::applyBlur(double radius, bool hudVisible) {
    pendingRadius = radius;
    auto shown = window_.lock();
    if (shown) setWindowRadius(*shown, radius);
    if (hudWasVisible && !hudVisible) {
        platform().runLoop().post(weakly(window_, &Panel::display));
    }
    hudWasVisible = hudVisible;
}

// Leaving a window takes the blur away first, so that the window does not keep blurring what lies
// behind it without the cover.
void BlurHostView::moveToWindow(const std::shared_ptr<Panel>& window) {
    if (auto previous = window_.lock(); previous && previous != window) {
        setWindowRadius(*previous, 0);
    }
    window_ = window;
    if (window) setWindowRadius(*window, pendingRadius);
}

}  // namespace talvori

#include "app/FirstRunWindowPresenter.hpp"

#include "platform/Platform.hpp"

namespace talvori {

bool FirstRunWindowPresenter::present() {
    const auto window = window_.lock();
    if (!window) return false;
    auto& application = platform().application();
    application.activate();
    window->makeKey();
    window->orderFront();
    if (application.isActive() && window->isKeyWindow()) return true;
    window->orderFrontRegardless();
    return false;
}

}  // namespace talvori

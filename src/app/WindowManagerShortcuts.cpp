#include "app/WindowManager.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "session/GlobalShortcutHandling.hpp"
#include "session/ShortcutNames.hpp"

namespace talvori {

namespace {

// Read at the press, not when the handlers were installed: the first-run flow starts the runtime
// a moment before it stores its completion, and the global actions must wait for that.
bool hasCompletedOnboarding() {
    return platform().userDefaults().boolValue("hasCompletedOnboarding").value_or(false);
}

// A key-down action that reaches the manager only while it exists.
std::function<void()> handler(const std::weak_ptr<WindowManager>& weak, bool needsOnboarding,
                              void (*action)(WindowManager&)) {
    return [weak, needsOnboarding, action] {
        platform().runLoop().assertMainThread();
        if (needsOnboarding && !hasCompletedOnboarding()) return;
        withOwner(weak, action);
    };
}

void toggleFocus(WindowManager& manager) {
    auto& spotlight = manager.spotlightController();
    if (spotlight.isActive()) {
        spotlight.deactivate();
    } else if (spotlight.permissionManager().accessibilityCheck()) {
        spotlight.activate();
    } else {
        spotlight.requestAccessibilityAndActivate();
    }
}

}  // namespace

void WindowManager::registerShortcutHandlers() {
    const std::weak_ptr<WindowManager> weak = weak_from_this();
    auto& handlers = *shortcutHandler_;
    handlers.onKeyDown(ShortcutNames::toggleFocus(), handler(weak, true, toggleFocus));
    handlers.onKeyDown(ShortcutNames::showPanel(), handler(weak, true, [](WindowManager& self) {
                           self.toggleMenuBarPanel(true);
                       }));
    handlers.onKeyDown(ShortcutNames::newCover(),
                       handler(weak, true, [](WindowManager& self) { self.createCover(); }));
    // The adjusters only fire while enabled, that is while Focus is on.
    handlers.onKeyDown(ShortcutNames::strongerFocus(),
                       handler(weak, false, [](WindowManager& self) {
                           self.spotlightController().adjustFocus(true);
                       }));
    handlers.onKeyDown(ShortcutNames::weakerFocus(), handler(weak, false, [](WindowManager& self) {
                           self.spotlightController().adjustFocus(false);
                       }));
    handlers.onKeyDown(ShortcutNames::moreBlur(), handler(weak, false, [](WindowManager& self) {
                           self.spotlightController().adjustBlur(true);
                       }));
    handlers.onKeyDown(ShortcutNames::lessBlur(), handler(weak, false, [](WindowManager& self) {
                           self.spotlightController().adjustBlur(false);
                       }));
}

void WindowManager::syncFocusShortcuts() {
    if (spotlightController().isActive() && !isShutdown.peek()) {
        shortcutHandler_->enable(ShortcutNames::focusShortcutNames());
    } else {
        shortcutHandler_->disable(ShortcutNames::focusShortcutNames());
    }
}

}  // namespace talvori

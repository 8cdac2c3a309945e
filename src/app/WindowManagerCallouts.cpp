#include "app/WeakCallback.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"

namespace talvori {

void WindowManager::scheduleCoachMark() {
    coachMarkTask.replace(Task::start(platform().runLoop(), [weak = weak_from_this()]() -> Async {
        co_await Task::sleep(kCoachMarkDelay);
        if (Task::isCurrentCancelled()) co_return;
        if (auto self = weak.lock()) self->showCoachMark();
    }));
}

void WindowManager::showCoachMark() {
    const auto anchor = menuBarPanelController_->statusItemScreenAnchor();
    if (!anchor) {
        showMenuBarPanel();
        return;
    }
    if (!coachMarkController_->show(anchor->rect, anchor->screen.frame, {anchor->window})) {
        showMenuBarPanel();
    }
}

bool WindowManager::hasPendingUpdate() const {
    return false;
}

void WindowManager::installUpdateCallout() {}

void WindowManager::uninstallUpdateCallout() {}

}  // namespace talvori

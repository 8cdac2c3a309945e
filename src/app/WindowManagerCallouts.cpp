#include "app/WindowManager.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "reminder/UpdateCalloutView.hpp"
#include "reminder/UpdateReminder.hpp"

namespace talvori {

void WindowManager::scheduleCoachMark() {
    coachMarkTask.replace(Task::start(platform().runLoop(), [weak = weak_from_this()]() -> Async {
        co_await Task::sleep(kCoachMarkDelay);
        if (Task::isCurrentCancelled()) co_return;
        withOwner(weak, &WindowManager::showCoachMark);
    }));
}

void WindowManager::showCoachMark() {
    const auto anchor = menuBarPanelController_->statusItemScreenAnchor();
    if (!anchor) {
        showMenuBarPanel();
        return;
    }
    if (!coachMarkController_->show(anchor->rect, anchor->screen, {anchor->window})) {
        showMenuBarPanel();
    }
}

bool WindowManager::hasPendingUpdate() const {
    return UpdateReminder::shared()->pendingUpdate().get().has_value();
}

void WindowManager::installUpdateCallout() {
    const std::weak_ptr<WindowManager> weak = weak_from_this();
    updateCalloutController_->makeContent = [weak](double beakCenterX,
                                                   bool beakPointsDown) -> ui::View {
        const auto& pending = UpdateReminder::shared()->pendingUpdate().peek();
        if (weak.expired() || !pending) return ui::View();
        return UpdateCalloutView{
            *pending, beakCenterX,
            weakly(weak, [](WindowManager& self) { self.updateCalloutController_->dismiss(); }),
            weakly(weak, [](WindowManager& self) { self.checkForUpdatesFromCallout(); }),
            beakPointsDown};
    };
    updateCalloutController_->onReturn =
        weakly(weak, [](WindowManager& self) { self.checkForUpdatesFromCallout(); });
    // An update found while the program runs is offered at once, and once: the schedule below
    // is for the update restored at launch.
    UpdateReminder::shared()->onUpdateFound =
        weakly(weak, [](WindowManager& self) { self.showUpdateCallout(); });
    updateCalloutTask.replace(Task::start(platform().runLoop(), [weak]() -> Async {
        if (!co_await Task::sleep(kUpdateCalloutFirstDelay)) co_return;
        // Attempts held back by the panel or the coach mark count too.
        for (int attempt = 0; attempt < kUpdateCalloutAttempts; ++attempt) {
            if (Task::isCurrentCancelled()) co_return;
            const bool shown = withOwner(weak, [](WindowManager& self) {
                                   if (!UpdateReminder::shared()->shouldShowCallout()) return false;
                                   self.showUpdateCallout();
                                   return true;
                               }).value_or(false);
            if (!shown) co_return;
            co_await Task::sleep(kUpdateCalloutRetryInterval);
        }
    }));
}

void WindowManager::showUpdateCallout() {
    platform().runLoop().assertMainThread();
    auto& reminder = *UpdateReminder::shared();
    if (isShutdown.peek() || !reminder.shouldShowCallout()) return;
    if (menuBarPanelController_->isPanelVisible() || coachMarkController_->isShowing() ||
        updateCalloutController_->isShowing()) {
        return;
    }
    const auto anchor = menuBarPanelController_->statusItemScreenAnchor();
    if (!anchor) return;
    if (updateCalloutController_->show(anchor->rect, anchor->screen, {anchor->window})) {
        reminder.markCalloutShown();
    }
}

}  // namespace talvori

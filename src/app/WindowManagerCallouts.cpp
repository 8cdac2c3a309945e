#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/weakly.hpp"
#include "recorder/TakenShortcuts.hpp"
#include "reminder/UpdateCalloutView.hpp"
#include "reminder/UpdateReminder.hpp"
#include "session/ShortcutNames.hpp"

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
    // The what's-new card names the Focus shortcuts as they are now.
    refreshFocusStepKeys();
    shortcutChanges_ = platform().notificationCenter().addObserver(
        GlobalShortcuts::kShortcutByNameDidChangeNotification, nullptr,
        NotificationDelivery::synchronous,
        weakly(weak,
               [](WindowManager& self, const Notification&) { self.refreshFocusStepKeys(); }));
    // An update found while the program runs is offered at once, and once: the schedule below
    // is for the update restored at launch.
    UpdateReminder::shared()->onUpdateFound =
        weakly(weak, [](WindowManager& self) { self.showUpdateCallout(); });
    retryCallout(updateCalloutTask, kUpdateCalloutFirstDelay, [](WindowManager& self) {
        if (!UpdateReminder::shared()->shouldShowCallout()) return false;
        self.showUpdateCallout();
        return true;
    });
}

void WindowManager::refreshFocusStepKeys() {
    UpdateReminder::shared()->setFocusStepKeys(
        {ShortcutNames::heldShortcutText(ShortcutNames::strongerFocus()),
         ShortcutNames::heldShortcutText(ShortcutNames::weakerFocus())});
}

void WindowManager::retryCallout(TaskSlot& slot, double firstDelay,
                                 bool (*attempt)(WindowManager&)) {
    slot.replace(Task::start(platform().runLoop(),
                             [weak = weak_from_this(), firstDelay, attempt]() -> Async {
                                 if (!co_await Task::sleep(firstDelay)) co_return;
                                 // Attempts held back by the panel or another callout count too.
                                 for (int tries = 0; tries < kUpdateCalloutAttempts; ++tries) {
                                     if (Task::isCurrentCancelled()) co_return;
                                     if (!withOwner(weak, attempt).value_or(false)) co_return;
                                     co_await Task::sleep(kUpdateCalloutRetryInterval);
                                 }
                             }));
}

bool WindowManager::isCalloutHeldBack() const {
    const bool coachMarkToCome = !coachMarkTask.isEmpty() && !coachMarkTask.task().isFinished();
    return menuBarPanelController_->isPanelVisible() || coachMarkToCome ||
           coachMarkController_->isShowing() || updateCalloutController_->isShowing() ||
           takenNoticeController_->isShowing();
}

bool WindowManager::showTakenShortcutsNotice() {
    platform().runLoop().assertMainThread();
    auto& defaults = platform().userDefaults();
    if (isShutdown.peek() || !isTakenShortcutsNoticeDue(defaults)) return false;
    if (isCalloutHeldBack()) return true;
    const auto anchor = menuBarPanelController_->statusItemScreenAnchor();
    if (!anchor || !takenNoticeController_->show(anchor->rect, anchor->screen, {anchor->window})) {
        return true;
    }
    markTakenShortcutsNoticeShown(defaults);
    return false;
}

void WindowManager::showUpdateCallout() {
    platform().runLoop().assertMainThread();
    auto& reminder = *UpdateReminder::shared();
    if (isShutdown.peek() || !reminder.shouldShowCallout()) return;
    if (isCalloutHeldBack()) return;
    const auto anchor = menuBarPanelController_->statusItemScreenAnchor();
    if (!anchor) return;
    if (updateCalloutController_->show(anchor->rect, anchor->screen, {anchor->window})) {
        reminder.markCalloutShown();
    }
}

}  // namespace talvori

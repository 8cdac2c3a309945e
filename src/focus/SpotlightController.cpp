#include "focus/SpotlightController.hpp"

#include <utility>

#include "covers/PermissionManager.hpp"
#include "covers/announceForAccessibility.hpp"
#include "focus/SpotlightModel.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

namespace {

std::int32_t ownPID() {
    return platform().workspace().processIdentifier();
}

}  // namespace

std::shared_ptr<SpotlightController> SpotlightController::create(
    std::shared_ptr<SpotlightPanelManager> panelManager,
    std::shared_ptr<PermissionManager> permissionManager, std::shared_ptr<UserDefaults> defaults) {
    std::shared_ptr<SpotlightController> controller(new SpotlightController(
        std::move(panelManager), std::move(permissionManager), std::move(defaults)));
    controller->loadSettings();
    controller->storedSettings_ = controller->defaults_->observe(
        SpotlightModel::kDefaultsKey,
        weakly(std::weak_ptr<SpotlightController>(controller), &SpotlightController::loadSettings));
    controller->panelManager_->onPanelClosedElsewhere =
        weakly(std::weak_ptr<SpotlightController>(controller), &SpotlightController::renewPanel);
    return controller;
}

SpotlightController::SpotlightController(std::shared_ptr<SpotlightPanelManager> panelManager,
                                         std::shared_ptr<PermissionManager> permissionManager,
                                         std::shared_ptr<UserDefaults> defaults)
    : panelManager_(std::move(panelManager)),
      permissionManager_(std::move(permissionManager)),
      defaults_(std::move(defaults)),
      log_(platform().logger("Spotlight")),
      dimOpacity_(SpotlightModel{}.dimOpacity),
      glassOpacity_(SpotlightModel{}.glassOpacity),
      glassOpacityLinked_(SpotlightModel{}.glassOpacityLinked),
      effect_(SpotlightModel{}.effect),
      blurRadius_(SpotlightModel{}.blurRadius),
      fadeDuration_(SpotlightModel{}.fadeDuration) {}

SpotlightController::~SpotlightController() {
    // The observer's callback must not outlive the controller; the slots end their tasks and
    // timer themselves.
    detachFocusObserver();
}

// ---- Turning on and off

void SpotlightController::requestAccessibilityAndActivate() {
    platform().runLoop().assertMainThread();
    if (!accessibilityRequestTask_.isEmpty()) return;
    log_.error("Accessibility permission not granted — requesting via system prompt");
    const std::uint64_t request = accessibilityRequestGeneration_.next();
    accessibilityRequestTask_.replace(
        Task::start(platform().runLoop(), [weak = weak_from_this(), request]() -> Async {
            const auto permissions = withOwner(weak, [](SpotlightController& self) {
                                         return self.permissionManager_;
                                     }).value_or(nullptr);
            if (!permissions) co_return;
            const bool granted = co_await permissions->waitForAccessibility();
            const bool cancelled = Task::isCurrentCancelled();
            withOwner(weak, [&](SpotlightController& self) {
                // A turn-off and a new request may have come while this one was winding down:
                // the slot then holds the newer wait, which must stay cancellable.
                if (self.accessibilityRequestGeneration_.isCurrent(request)) {
                    self.accessibilityRequestTask_.clear();
                }
                if (!granted || cancelled || self.isActive()) return;
                self.log_.info("Accessibility permission granted — activating Focus Mode");
                self.activate();
            });
        }));
}

void SpotlightController::activate() {
    platform().runLoop().assertMainThread();
    // A second call would leave registrations behind that deactivate could no longer remove.
    if (isActive()) return;
    const auto screens = platform().screens().screens();
    const auto snapshot = focusSnapshot(std::nullopt);
    const auto candidate = snapshot ? frontmostCandidate(*snapshot) : std::nullopt;

    // Without a screen there is nothing to dim; Focus still turns on and follows focus, so that
    // what relies on it being on holds.
    panelManager_->show(screens, currentOpacity());
    panelManager_->animateAppearance(effect(), currentOpacity(), blurRadius(), false);
    isActive_.set(true);
    announceForAccessibility("Focus on");
    if (onActiveChange) onActiveChange(true);

    switchNews_ = platform().windowList().hearSwitches();
    if (snapshot) updateShadeAnchor(candidate, *snapshot, "Active", false);
    installWorkspaceObserver();
    installMouseMonitor();
    installSafetyTimer();
    attachFocusObserver(true);
    if (shadeAnchorWindowID() == 0) {
        log_.info("Active — Talvori is frontmost, waiting for app switch...");
        scheduleActivationRetry();
    }
}

void SpotlightController::deactivate() {
    platform().runLoop().assertMainThread();
    if (isActive()) announceForAccessibility("Focus off");
    accessibilityRequestTask_.clear();
    isActive_.set(false);
    reconcileTask_.clear();
    slowReconcileTask_.clear();
    safetyTimer_.clear();
    removeMouseMonitor();
    detachFocusObserver();
    removeWorkspaceObserver();
    switchNews_.reset();
    panelManager_->hide(true);
    shadeAnchorWindowID_.set(0);
    focusedAppName_.set(std::nullopt);
    if (onActiveChange) onActiveChange(false);
}

// Another program closed the panel while Focus is on: a new one dims again, below the window that
// keeps focus.
void SpotlightController::renewPanel() {
    if (!isActive()) return;
    log_.log("The Focus panel was closed by another program: a new one shows");
    panelManager_->show(platform().screens().screens(), currentOpacity());
    panelManager_->animateAppearance(effect(), currentOpacity(), blurRadius(), false);
    if (const std::uint32_t anchor = shadeAnchorWindowID(); anchor != 0) {
        panelManager_->snapBelow(anchor);
    }
}

// ---- Refresh and follow-ups

void SpotlightController::refreshFocus(const std::string& label, bool allowFade) {
    if (!isActive()) return;
    slowReconcileTask_.clear();
    const auto snapshot = focusSnapshot(std::nullopt);
    if (!snapshot) {
        scheduleReconcile(label, allowFade);
        return;
    }
    const auto candidate = frontmostCandidate(*snapshot);
    const bool held = updateShadeAnchor(candidate, *snapshot, label, allowFade);
    scheduleReconcile(label, allowFade);
    if (held && candidate) scheduleSlowReconcile(label, allowFade);
}

std::optional<std::uint32_t> SpotlightController::frontmostCandidate(
    const FocusSnapshot& snapshot) const {
    const auto pid = frontmostApplicationPID();
    if (!pid) return std::nullopt;
    return FocusSnapshot::firstWindowID(*pid, snapshot.windows);
}

void SpotlightController::startDelayed(TaskSlot& slot, double seconds,
                                       std::function<void(SpotlightController&)> body) {
    slot.replace(Task::start(platform().runLoop(),
                             [weak = weak_from_this(), seconds, body = std::move(body)]() -> Async {
                                 if (!co_await Task::sleep(seconds)) co_return;
                                 withOwner(weak, body);
                             }));
}

void SpotlightController::scheduleReconcile(const std::string& reason, bool allowFade) {
    startDelayed(reconcileTask_, kReconcileDelay, [reason, allowFade](SpotlightController& self) {
        self.reconcile(reason, allowFade);
    });
    // What the window server tells until the second look cannot change what this one decided.
    platform().windowList().gatherChanges(kReconcileDelay);
}

void SpotlightController::scheduleSlowReconcile(const std::string& reason, bool allowFade) {
    startDelayed(
        slowReconcileTask_, kSlowReconcileDelay,
        [reason, allowFade](SpotlightController& self) { self.slowReconcile(reason, allowFade); });
}

void SpotlightController::scheduleActivationRetry() {
    startDelayed(reconcileTask_, kActivationRetryDelay,
                 [](SpotlightController& self) { self.refreshFocus("Activation retry", false); });
}

void SpotlightController::reconcile(const std::string& reason, bool allowFade) {
    if (!isActive()) return;
    const auto snapshot = focusSnapshot(std::nullopt);
    if (!snapshot) return;
    const auto candidate = frontmostCandidate(*snapshot);
    const bool held =
        updateShadeAnchor(candidate, *snapshot, "Reconcile (" + reason + ")", allowFade);
    // A finished slow follow-up stays in its slot until a fresh event clears it, so a run of
    // held reconciles asks for one slow look, not one each.
    if (held && candidate && slowReconcileTask_.isEmpty()) {
        scheduleSlowReconcile(reason, allowFade);
    }
}

void SpotlightController::slowReconcile(const std::string& reason, bool allowFade) {
    if (!isActive()) return;
    const auto snapshot = focusSnapshot(std::nullopt);
    if (!snapshot) return;
    updateShadeAnchor(frontmostCandidate(*snapshot), *snapshot, "Reconcile +120ms (" + reason + ")",
                      allowFade);
}

// ---- Accessibility observer

void SpotlightController::attachFocusObserver(bool refresh) {
    const auto app = platform().workspace().frontmostApplication();
    if (!app) return;
    const std::int32_t pid = app->processIdentifier;
    if (pid == ownPID()) return;
    if (focusObserver_ && focusObserverPID_ == pid) return;
    detachFocusObserver();

    auto& accessibility = platform().accessibility();
    const AXElement application = accessibility.applicationElement(pid);
    auto created = accessibility.createObserver(
        pid, weakly(weak_from_this(), &SpotlightController::handleFocusNotification));
    if (!created.ok() || !*created.value) return;
    auto observer = std::move(*created.value);
    observer->addNotification(application, AXNotification::focusedWindowChanged);
    observer->addNotification(application, AXNotification::mainWindowChanged);
    observer->start();
    focusObserver_ = std::move(observer);
    focusObserverPID_ = pid;

    const std::string name = app->localizedName.value_or("?");
    if (refresh) refreshFocus("AX observer attached to " + name, shadeAnchorWindowID() != 0);
    log_.info("AXObserver attached to %s (pid=%d)", name, pid);
}

void SpotlightController::detachFocusObserver() {
    if (focusObserver_) {
        focusObserver_->stop();
        focusObserver_ = nullptr;
    }
    focusObserverPID_ = 0;
}

void SpotlightController::handleFocusNotification(const AXElement& element,
                                                  const std::string& notification) {
    platform().runLoop().assertMainThread();
    if (!isActive()) return;
    const std::string label = "AX " + notification;
    auto& accessibility = platform().accessibility();
    std::optional<std::uint32_t> windowID;
    if (const auto window = accessibility.focusedWindow(element); window.ok()) {
        const auto number = accessibility.windowNumber(*window.value);
        if (number.ok() && *number.value != 0) windowID = *number.value;
    }
    if (!windowID) {
        refreshFocus(label, true);
        return;
    }
    // The notices of one switch come in one wake-up of the loop (its focused and its main window
    // are the same): the first decides for all.
    const std::uint64_t wakeUp = platform().runLoop().wakeUpCount();
    if (*windowID == shadeAnchorWindowID() && noticeCommitWakeUp_ == wakeUp) return;
    slowReconcileTask_.clear();
    const auto snapshot = focusSnapshot(windowID);
    if (!snapshot) {
        scheduleReconcile(label, true);
        return;
    }
    const bool held = updateShadeAnchor(windowID, *snapshot, label, true);
    if (shadeAnchorWindowID() == *windowID) noticeCommitWakeUp_ = wakeUp;
    scheduleReconcile(label, true);
    if (held) scheduleSlowReconcile(label, true);
}

std::optional<std::int32_t> SpotlightController::frontmostApplicationPID() const {
    auto& accessibility = platform().accessibility();
    const auto application = accessibility.focusedApplication();
    if (!application.ok()) return std::nullopt;
    const auto pid = accessibility.pid(*application.value);
    if (!pid.ok() || *pid.value == ownPID()) return std::nullopt;
    return *pid.value;
}

// ---- Workspace observer, mouse monitor and safety net

void SpotlightController::installWorkspaceObserver() {
    // The notice is posted on the main thread, where a main-queue observer runs inside the post:
    // the panel moves within the event that told of the activation.
    workspaceObserver_ = platform().notificationCenter().addObserver(
        Workspace::kDidActivateApplicationNotification, nullptr, NotificationDelivery::synchronous,
        weakly(weak_from_this(), [](SpotlightController& self, const Notification&) {
            if (!self.isActive()) return;
            // One look for the activation, whether or not it brought a new observer.
            self.attachFocusObserver(false);
            self.refreshFocus("App activated", true);
        }));
}

void SpotlightController::removeWorkspaceObserver() {
    workspaceObserver_.reset();
}

void SpotlightController::installMouseMonitor() {
    mouseMonitor_ = platform().input().addGlobalMonitor(
        kMouseDownMask, weakly(weak_from_this(), [](SpotlightController& self, const Event&) {
            if (self.isActive()) self.handleMouseDown();
        }));
}

void SpotlightController::removeMouseMonitor() {
    mouseMonitor_.reset();
}

void SpotlightController::handleMouseDown() {
    platform().runLoop().assertMainThread();
    const auto screens = platform().screens().screens();
    if (screens.empty()) return;
    const Point location = platform().input().mouseLocation();
    const auto entries = platform().windowList().copyWindowInfo(
        WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    if (!entries) return;
    // The list's bounds have their origin at the top left.
    const Point point{location.x, screens.front().frame.height() - location.y};
    const std::int32_t own = ownPID();
    for (const auto& entry : *entries) {
        const auto window = FocusSnapshot::parseWindowInfo(entry, own);
        if (window && entry.bounds->contains(point)) {
            predictFocusFromMouse(window->windowID);
            return;
        }
    }
}

void SpotlightController::predictFocusFromMouse(std::uint32_t windowID) {
    if (!isActive() || windowID == 0 || windowID == shadeAnchorWindowID()) return;
    // In Dim the Accessibility notice brings the change with its cross-fade; moving at once here
    // would skip it.
    if (panelManager_->overlayPanel() && panelManager_->currentEffect() == SpotlightEffect::dim &&
        !panelManager_->isReducedMotion()) {
        return;
    }
    if (const auto snapshot = focusSnapshot(windowID)) {
        updateShadeAnchor(windowID, *snapshot, "Mouse prediction", false);
    }
}

void SpotlightController::installSafetyTimer() {
    safetyTimer_.replace(
        Timer::scheduledTimer(platform().runLoop(), kSafetyNetInterval, true,
                              weakly(weak_from_this(), &SpotlightController::safetyNetTick)));
}

void SpotlightController::safetyNetTick() {
    platform().runLoop().assertMainThread();
    if (!isActive()) return;
    const auto snapshot = focusSnapshot(std::nullopt);
    if (!snapshot) {
        log_.debug("Safety net: focus snapshot unavailable");
        return;
    }
    updateShadeAnchor(frontmostCandidate(*snapshot), *snapshot, "Safety net", false);
}

}  // namespace talvori

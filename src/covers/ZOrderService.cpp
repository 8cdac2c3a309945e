#include "covers/ZOrderService.hpp"

#include "covers/ScreenRecordingPermission.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {

std::shared_ptr<ZOrderService> ZOrderService::create(std::weak_ptr<Panel> panel,
                                                     std::int32_t targetPID,
                                                     AXElement targetElement) {
    return std::shared_ptr<ZOrderService>(
        new ZOrderService(std::move(panel), targetPID, targetElement));
}

ZOrderService::ZOrderService(std::weak_ptr<Panel> panel, std::int32_t targetPID,
                             AXElement targetElement)
    : panel_(std::move(panel)), targetPID_(targetPID), targetElement_(targetElement) {
    resolveWindowIDs();
}

void ZOrderService::resolveWindowIDs() {
    const auto number = platform().accessibility().windowNumber(targetElement_);
    if (number.ok()) targetWindowID_ = *number.value;
    if (auto panel = panel_.lock()) overlayWindowID_ = panel->windowNumber();
}

void ZOrderService::start() {
    if (isRunning_) return;
    isRunning_ = true;
    installMouseMonitor();
    Workspace& workspace = platform().workspace();
    const auto frontmost = workspace.frontmostApplication();
    if (frontmost && frontmost->processIdentifier == targetPID_) {
        targetActivationChanged(true);
        return;
    }
    isTargetActive_ = false;
    setPanelLevel(WindowLevel::normal);
    // The cover stays in front of every window it covers, and so above its target, rather than
    // dropping behind the windows that stood in front of the target when it was attached; the
    // next activation of an application puts it right above the target.
    if (auto panel = panel_.lock()) panel->orderFront();
    // While we are in front the order check waits for the next activation of any application.
    const auto frontBundle = frontmost ? frontmost->bundleIdentifier : std::nullopt;
    if (frontBundle == workspace.bundleIdentifier()) return;
    startZOrderTimer();
}

void ZOrderService::stop() {
    isRunning_ = false;
    removeMouseMonitor();
    stopZOrderTimer();
    consecutiveFailures_ = 0;
    isEscalated_ = false;
    isTargetActive_ = false;
}

void ZOrderService::targetActivationChanged(bool active) {
    auto panel = panel_.lock();
    if (!panel || !isRunning_) return;
    isTargetActive_ = active;
    panel->setLevel(WindowLevel::normal);
    if (active) {
        if (isEscalated_) {
            isEscalated_ = false;
            consecutiveFailures_ = 0;
        }
        panel->orderFront();
    }
    orderAboveTarget();
    startZOrderTimer();
}

// A click in the target's application may raise the target over the cover: put the cover back on
// top once the click has been handled.
void ZOrderService::installMouseMonitor() {
    mouseMonitor_ = platform().input().addGlobalMonitor(
        eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::rightMouseDown),
        weakly(weak_from_this(), [](ZOrderService& self, const Event&) {
            platform().runLoop().assertMainThread();
            if (!self.isTargetActive_ || self.isEscalated_) return;
            platform().runLoop().post(
                weakly(self.weak_from_this(), &ZOrderService::orderAboveTarget));
        }));
}

void ZOrderService::removeMouseMonitor() {
    mouseMonitor_.reset();
}

void ZOrderService::startZOrderTimer() {
    // A stopped service may still hear of the grant; it must not start checking again.
    if (!zOrderTimer_.isEmpty() || isEscalated_ || !isRunning_) return;
    const auto& permission = ScreenRecordingPermission::shared();
    if (!permission->isGranted()) {
        permission->waitForGrant(weakly(weak_from_this(), [](ZOrderService& self, bool granted) {
            if (granted) self.startZOrderTimer();
        }));
        return;
    }
    zOrderTimer_.replace(
        Timer::scheduledTimer(platform().runLoop(), kCheckInterval, true,
                              weakly(weak_from_this(), &ZOrderService::checkOrder)));
}

void ZOrderService::stopZOrderTimer() {
    zOrderTimer_.clear();
}

void ZOrderService::checkOrder() {
    platform().runLoop().assertMainThread();
    if (isEscalated_) {
        stopZOrderTimer();
        return;
    }
    if (targetWindowID_ == 0 || overlayWindowID_ == 0) return;
    const auto list = platform().windowList().copyWindowInfo(
        WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    if (!list) return;
    std::optional<std::size_t> coverIndex;
    std::optional<std::size_t> targetIndex;
    for (std::size_t index = 0; index < list->size() && !(coverIndex && targetIndex); ++index) {
        const auto& number = (*list)[index].number;
        if (!number) continue;
        if (*number == overlayWindowID_) coverIndex = index;
        if (*number == targetWindowID_) targetIndex = index;
    }
    if (!coverIndex || !targetIndex) return;
    if (*coverIndex < *targetIndex) {
        consecutiveFailures_ = 0;
        return;
    }
    orderAboveTarget();
    ++consecutiveFailures_;
    escalateIfNeeded();
}

void ZOrderService::escalateIfNeeded() {
    if (consecutiveFailures_ < maxConsecutiveFailures || isEscalated_) return;
    isEscalated_ = true;
    if (auto panel = panel_.lock()) {
        panel->setLevel(WindowLevel::floating);
        panel->orderFront();
    }
    stopZOrderTimer();
}

void ZOrderService::orderAboveTarget() {
    auto panel = panel_.lock();
    if (!panel || !isRunning_) return;
    if (targetWindowID_ == 0) {
        panel->orderFront();
    } else {
        panel->orderRelative(WindowOrderingMode::above, targetWindowID_);
    }
}

void ZOrderService::setPanelLevel(int level) {
    if (auto panel = panel_.lock()) panel->setLevel(level);
}

}  // namespace talvori

#include "covers/WindowAttachmentService.hpp"

#include <variant>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

std::shared_ptr<WindowAttachmentService> WindowAttachmentService::create() {
    return std::shared_ptr<WindowAttachmentService>(new WindowAttachmentService());
}

WindowAttachmentService::~WindowAttachmentService() {
    stop();
}

void WindowAttachmentService::attach(const AttachmentTarget& target) {
    auto self = shared_from_this();
    stop();
    targetPID_ = target.application.processIdentifier;
    targetBundleID_ = target.application.bundleIdentifier;
    targetElement_ = target.windowNumber ? findWindow(targetPID_, *target.windowNumber)
                                         : findTargetWindow(targetPID_);
    if (!targetElement_) {
        targetPID_ = 0;
        targetBundleID_.reset();
        return;
    }
    const auto frame = targetFrame();
    if (!frame) {
        stop();
        return;
    }
    lastKnownFrame_ = *frame;
    report(*frame);
    startObserving();
    startHeartbeat();
    startWorkspaceObserver();
}

// The focused window; when that read fails, the first of the application's windows. "No value" is
// a failed read too: an application whose windows are all minimised, or that has no focused
// window, still has windows to follow. Only a read that works and holds no window ends the search.
std::optional<AXElement> WindowAttachmentService::findTargetWindow(std::int32_t pid) const {
    Accessibility& accessibility = platform().accessibility();
    const AXElement application = accessibility.applicationElement(pid);
    const auto focused = accessibility.copyAttributeValue(application, AXAttribute::focusedWindow);
    if (focused.error == AXError::success) {
        const auto* window = focused.value ? std::get_if<AXElement>(&*focused.value) : nullptr;
        return window ? std::optional<AXElement>(*window) : std::nullopt;
    }
    const auto windows = accessibility.windows(application);
    if (!windows.ok() || windows.value->empty()) return std::nullopt;
    return windows.value->front();
}

std::optional<AXElement> WindowAttachmentService::findWindow(std::int32_t pid,
                                                             std::uint32_t number) const {
    Accessibility& accessibility = platform().accessibility();
    const auto windows = accessibility.windows(accessibility.applicationElement(pid));
    if (!windows.ok()) return std::nullopt;
    for (const auto& window : *windows.value) {
        const auto windowNumber = accessibility.windowNumber(window);
        if (windowNumber.ok() && *windowNumber.value == number) return window;
    }
    return std::nullopt;
}

std::optional<Rect> WindowAttachmentService::targetFrame() const {
    Rect frame;
    if (readFrame(frame) != FrameRead::frame) return std::nullopt;
    return frame;
}

// Accessibility measures from the top left of the first screen, y down.
WindowAttachmentService::FrameRead WindowAttachmentService::readFrame(Rect& frame) const {
    if (!targetElement_) return FrameRead::unreadable;
    const auto screens = platform().screens().screens();
    if (screens.empty()) return FrameRead::noScreen;
    Accessibility& accessibility = platform().accessibility();
    const auto position = accessibility.position(*targetElement_);
    if (!position.ok()) return FrameRead::unreadable;
    const auto size = accessibility.size(*targetElement_);
    if (!size.ok()) return FrameRead::unreadable;
    frame = Screens::flipped(Rect(*position.value, *size.value), screens.front().frame.height());
    return FrameRead::frame;
}

void WindowAttachmentService::stop() {
    if (axObserver_) {
        axObserver_->stop();
        axObserver_.reset();
    }
    heartbeatTimer_.clear();
    if (eventTap_) {
        eventTap_->setEnabled(false);
        eventTap_->invalidate();
        eventTap_.reset();
    }
    dragBase_.reset();
    workspaceObserver_.reset();
    targetElement_.reset();
    targetPID_ = 0;
    targetBundleID_.reset();
}

void WindowAttachmentService::report(const Rect& frame) {
    if (auto target = delegate.lock()) target->targetFrameDidChange(frame);
}

// The delegate's detach usually drops this service: keep it alive until stop() has run.
void WindowAttachmentService::detachDelegate() {
    auto self = shared_from_this();
    if (auto target = delegate.lock()) target->detach();
    stop();
}

// ---- Accessibility notifications

void WindowAttachmentService::startObserving() {
    if (!targetElement_) return;
    auto created = platform().accessibility().createObserver(
        targetPID_, weakly(weak_from_this(), [](WindowAttachmentService& self, const AXElement&,
                                                const std::string& notification) {
            self.accessibilityNotification(notification);
        }));
    // Without an observer the heartbeat still follows the window.
    if (!created.ok() || !*created.value) return;
    auto observer = std::move(*created.value);
    for (const char* notification :
         {AXNotification::moved, AXNotification::resized, AXNotification::elementDestroyed}) {
        (void)observer->addNotification(*targetElement_, notification);
    }
    observer->start();
    axObserver_ = std::move(observer);
}

void WindowAttachmentService::accessibilityNotification(const std::string& notification) {
    platform().runLoop().assertMainThread();
    if (notification == AXNotification::elementDestroyed) {
        detachDelegate();
        return;
    }
    // A window that cannot be read now is left to the heartbeat.
    Rect frame;
    if (readFrame(frame) != FrameRead::frame) return;
    lastKnownFrame_ = frame;
    report(frame);
}

// ---- Heartbeat

void WindowAttachmentService::startHeartbeat() {
    heartbeatTimer_.replace(Timer::scheduledTimer(
        platform().runLoop(), kHeartbeatInterval, true,
        weakly(weak_from_this(), &WindowAttachmentService::heartbeat), RunLoopMode::common));
    startEventTap();
}

void WindowAttachmentService::heartbeat() {
    platform().runLoop().assertMainThread();
    Rect frame;
    switch (readFrame(frame)) {
        case FrameRead::noScreen:
            // Displays are being reconfigured: wait for the next tick instead of letting go.
            return;
        case FrameRead::unreadable:
            detachDelegate();
            return;
        case FrameRead::frame:
            break;
    }
    if (frame == lastKnownFrame_) return;
    lastKnownFrame_ = frame;
    dragBase_.reset();
    report(frame);
}

// ---- Drag prediction

void WindowAttachmentService::startEventTap() {
    auto tap = platform().input().makeListenOnlyEventTap(
        eventMaskBit(EventType::leftMouseUp) | eventMaskBit(EventType::leftMouseDragged),
        weakly(weak_from_this(), &WindowAttachmentService::tapEvent));
    if (!tap) return;
    tap->setEnabled(true);
    eventTap_ = std::move(tap);
}

void WindowAttachmentService::tapEvent(const Event& event) {
    platform().runLoop().assertMainThread();
    switch (event.type) {
        case EventType::tapDisabledByTimeout:
        case EventType::tapDisabledByUserInput:
            if (eventTap_) eventTap_->setEnabled(true);
            break;
        case EventType::leftMouseUp: {
            const bool wasFollowing = dragBase_.has_value();
            dragBase_.reset();
            if (!wasFollowing) break;
            if (auto target = delegate.lock()) target->panelDidMove();
            break;
        }
        case EventType::leftMouseDragged:
            followDrag();
            break;
        default:
            break;
    }
}

// Any left drag while the target application is in front may be a drag of its window. A drag that
// moves nothing is corrected by the next heartbeat, which reads the real frame.
void WindowAttachmentService::followDrag() {
    if (!targetElement_) return;
    const auto frontmost = platform().workspace().frontmostApplication();
    if (!frontmost || frontmost->processIdentifier != targetPID_) return;
    const Point mouse = platform().input().mouseLocation();
    if (!dragBase_) {
        dragBase_ = DragBase{mouse, lastKnownFrame_};
        return;
    }
    const Rect predicted({dragBase_->frame.minX() + mouse.x - dragBase_->mouseLocation.x,
                          dragBase_->frame.minY() + mouse.y - dragBase_->mouseLocation.y},
                         dragBase_->frame.size);
    if (predicted == lastKnownFrame_) return;
    lastKnownFrame_ = predicted;
    report(predicted);
}

// ---- Activation

void WindowAttachmentService::startWorkspaceObserver() {
    workspaceObserver_ = platform().notificationCenter().addObserver(
        Workspace::kDidActivateApplicationNotification, nullptr, NotificationDelivery::mainQueue,
        weakly(weak_from_this(),
               [](WindowAttachmentService& self, const Notification& notification) {
                   platform().runLoop().assertMainThread();
                   const auto application =
                       notification.value<RunningApplication>(Workspace::kApplicationKey);
                   const std::int32_t pid = application ? application->processIdentifier : 0;
                   if (auto target = self.delegate.lock()) {
                       target->targetAppDidActivate(pid == self.targetPID_);
                   }
               }));
}

}  // namespace talvori

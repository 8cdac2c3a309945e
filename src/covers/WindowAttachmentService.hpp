#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "covers/AttachmentTarget.hpp"
#include "covers/WindowAttachmentDelegate.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/desktop/AXElement.hpp"
#include "platform/desktop/AXObserver.hpp"
#include "platform/desktop/Event.hpp"
#include "platform/desktop/EventTap.hpp"

namespace talvori {

// Follows one window of another application for an attached cover: finds the application's focused
// window through Accessibility and reports its frame to the delegate whenever it changes, watching
// by four means at once: Accessibility notifications, a heartbeat that reads the frame 60 times a
// second, a listen-only event tap that predicts the frame while the user drags with the mouse, and
// the workspace's activation notices. Main thread only.
//
// Every callback holds the service strongly while it runs, so a delegate that drops the service
// from inside one (a detach) leaves it intact until the callback returns.
class WindowAttachmentService : public std::enable_shared_from_this<WindowAttachmentService> {
  public:
    static constexpr double kHeartbeatInterval = 1.0 / 60.0;

    static std::shared_ptr<WindowAttachmentService> create();
    // Stops all watching.
    ~WindowAttachmentService();
    WindowAttachmentService(const WindowAttachmentService&) = delete;
    WindowAttachmentService& operator=(const WindowAttachmentService&) = delete;

    std::weak_ptr<WindowAttachmentDelegate> delegate;

    // Starts following the target's window, or for an application alone its focused window (or,
    // when that cannot be read, its first window). Afterwards targetElement() is set when
    // attaching succeeded; a named window that is gone is not replaced by another.
    void attach(const AttachmentTarget& target);
    // Ends all watching and clears the target; lastKnownFrame() is kept. Safe at any time.
    void stop();
    // The target window's frame in the global space, or nothing when it cannot be read or there is
    // no screen to place it on.
    std::optional<Rect> targetFrame() const;

    const std::optional<AXElement>& targetElement() const { return targetElement_; }
    std::int32_t targetPID() const { return targetPID_; }
    const std::optional<std::string>& targetBundleID() const { return targetBundleID_; }
    const Rect& lastKnownFrame() const { return lastKnownFrame_; }

    bool isObserving() const { return axObserver_ != nullptr; }
    bool hasHeartbeat() const { return !heartbeatTimer_.isEmpty(); }
    bool hasEventTap() const { return eventTap_ != nullptr; }
    bool hasWorkspaceObserver() const { return static_cast<bool>(workspaceObserver_); }
    bool isFollowingDrag() const { return dragBase_.has_value(); }

    // One heartbeat: re-reads the frame and reports a change (the timer calls it).
    void heartbeat();

  private:
    // The frame and mouse location when a followed drag was first seen.
    struct DragBase {
        Point mouseLocation;
        Rect frame;
    };
    enum class FrameRead { frame, unreadable, noScreen };

    WindowAttachmentService() = default;

    std::optional<AXElement> findTargetWindow(std::int32_t pid) const;
    std::optional<AXElement> findWindow(std::int32_t pid, std::uint32_t number) const;
    FrameRead readFrame(Rect& frame) const;
    void startObserving();
    void startHeartbeat();
    void startEventTap();
    void startWorkspaceObserver();
    void accessibilityNotification(const std::string& notification);
    void tapEvent(const Event& event);
    void followDrag();
    void report(const Rect& frame);
    void detachDelegate();

    std::optional<AXElement> targetElement_;
    std::int32_t targetPID_ = 0;
    std::optional<std::string> targetBundleID_;
    std::shared_ptr<AXObserver> axObserver_;
    TimerSlot heartbeatTimer_;
    Registration workspaceObserver_;
    std::shared_ptr<EventTap> eventTap_;
    Rect lastKnownFrame_;
    std::optional<DragBase> dragBase_;
};

}  // namespace talvori

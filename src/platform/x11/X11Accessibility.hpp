#pragma once

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/desktop/Accessibility.hpp"
#include "platform/x11/X11RootSpace.hpp"

namespace talvori::x11 {

class X11EventRouter;

class X11AXObserver;
class X11Application;

// Other applications' windows read and followed through the window manager's published state
// (EWMH), which on X11 is where window focus and geometry live. X has no permission for this:
// the process is always trusted. Window elements are named by their client windows; positions and
// sizes are their frames'.
class X11Accessibility final : public Accessibility,
                               public std::enable_shared_from_this<X11Accessibility> {
  public:
    explicit X11Accessibility(std::shared_ptr<X11Application> application);

    bool isProcessTrusted() const override { return true; }
    void promptForTrust() override {}
    AXElement systemWideElement() const override { return {AXElement::Kind::systemWide, 0, 0}; }
    AXElement applicationElement(std::int32_t pid) const override {
        return {AXElement::Kind::application, pid, 0};
    }
    AXResult<AXValue> copyAttributeValue(const AXElement& element,
                                         std::string_view attribute) const override;
    AXResult<std::int32_t> pid(const AXElement& element) const override;
    AXResult<std::uint32_t> windowNumber(const AXElement& element) const override;
    AXResult<std::shared_ptr<AXObserver>> createObserver(std::int32_t pid,
                                                         AXObserver::Callback callback) override;

    // Whether an observer of other programs' windows is alive (a cover follows a window, Focus
    // follows the focused one): their moves and switches are wanted as they happen.
    bool isObserving() const;
    // Starts watching a window element's own events; false when the window is gone.
    bool watchWindow(const AXElement& window);
    void subscribe(X11EventRouter& router);
    // Another window became the active one (or none is).
    void activeWindowChanged();

  private:
    AXResult<AXValue> readApplication(const AXElement& element, std::string_view attribute) const;
    AXResult<AXValue> readWindow(const AXElement& element, std::string_view attribute) const;
    // The process's client windows on screen, front to back.
    std::vector<xcb_window_t> windowsOf(std::int32_t pid) const;
    std::vector<std::shared_ptr<X11AXObserver>> liveObservers();
    void deliver(std::int32_t pid, const AXElement& window, const char* notification);
    void fetchFrameRect(xcb_window_t client, xcb_window_t frame);
    void configureNotified(const xcb_configure_notify_event_t& configure);
    void destroyNotified(const xcb_destroy_notify_event_t& destroy);
    void frameChanged(const xcb_configure_notify_event_t& configure);
    void windowDestroyed(xcb_window_t window);

    std::shared_ptr<X11Application> application_;
    std::vector<std::weak_ptr<X11AXObserver>> observers_;
    // The last rectangle seen of each watched client's frame, to tell a move from a resize; none
    // while the first is asked for.
    std::map<xcb_window_t, std::optional<RootRect>> frameRects_;
    xcb_window_t activeWindow_ = XCB_WINDOW_NONE;
};

}  // namespace talvori::x11

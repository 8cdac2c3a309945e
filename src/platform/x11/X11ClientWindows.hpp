#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/X11RootSpace.hpp"

namespace talvori::x11 {

class X11Connection;

// Other programs' top-level windows as the window manager publishes them (EWMH): the client list
// in stacking order, the active window, and each client's process, names, frame and state. A
// client is named by its own window; the window manager's frame around it (the child of the root
// that holds it) is what stacks and moves. Every read tolerates a client that vanished meanwhile.
class X11ClientWindows {
  public:
    struct Client {
        xcb_window_t window = XCB_WINDOW_NONE;
        xcb_window_t frame = XCB_WINDOW_NONE;
        // 0 when unknown (a remote client).
        std::int32_t pid = 0;
        std::string title;
        // WM_CLASS: instance and class.
        std::string instanceName;
        std::string className;
        // The frame's outer rectangle, less a client-side shadow margin.
        RootRect rect;
        bool viewable = false;
        bool hidden = false;
        bool onCurrentDesktop = true;
        bool isDesktop = false;
        bool isDock = false;
        bool isAbove = false;
        bool skipsTaskbar = false;
        double alpha = 1;
        // The window level it stands for: desktop, normal (0), floating (3) or dock (20).
        int layer = 0;

        bool isOnScreen() const { return viewable && !hidden && onCurrentDesktop; }
    };

    explicit X11ClientWindows(std::shared_ptr<X11Connection> connection);

    // Managed clients, bottom to top; the mapping order when the window manager gives no
    // stacking list. Empty without a window manager.
    std::vector<xcb_window_t> clientList() const;
    // Reads every client's details in one round trip (clients gone meanwhile are left out).
    std::vector<Client> readClients(const std::vector<xcb_window_t>& windows) const;
    std::optional<Client> readClient(xcb_window_t window) const;
    // The window manager's active client; none when nothing (or the desktop) has focus.
    xcb_window_t activeWindow() const;
    // The process of a client: _NET_WM_PID, else the X-Resource extension; 0 when unknown.
    std::int32_t pid(xcb_window_t window) const;
    // The child of the root holding `window` (itself when it is one); none when it is gone.
    xcb_window_t frameOf(xcb_window_t window) const;
    // The root's children, bottom to top: the true stacking order.
    std::vector<xcb_window_t> rootChildren() const;

    // Forgets what it cached about windows that were reparented or destroyed.
    void handleEvent(const xcb_generic_event_t& event);

  private:
    std::int32_t resourcePid(xcb_window_t window) const;

    std::shared_ptr<X11Connection> connection_;
    mutable std::map<xcb_window_t, xcb_window_t> frames_;
    mutable std::map<xcb_window_t, std::int32_t> pids_;
};

}  // namespace talvori::x11

#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <set>
#include <vector>

#include "platform/core/Registration.hpp"

namespace talvori::x11 {

class X11Connection;

// A second connection to the X server that hears of nothing but the keyboard focus moving into
// other programs' windows and, while watched, the user's keys and buttons. While the main
// connection's descriptor is left alone for a moment (the window manager's answer to a switch
// comes in several bursts, none of which changes what the switch decided), this one wakes the
// loop only for a switch that follows or the user's input, so that they are handled at once
// while the rest of the bursts still wait.
class X11FocusWatch : public std::enable_shared_from_this<X11FocusWatch> {
  public:
    // Null when the server cannot be reached a second time.
    static std::shared_ptr<X11FocusWatch> open(const char* display);
    ~X11FocusWatch();
    X11FocusWatch(const X11FocusWatch&) = delete;
    X11FocusWatch& operator=(const X11FocusWatch&) = delete;

    // Listens to the focus of `windows` (in order; besides those listened to already) and to the
    // user's input, and watches the descriptor for as long as the registration is kept: what it
    // reads goes to `connection`, which hands everything over once an event of it ends its
    // gathering. What came before is dropped: the main connection told it.
    Registration watch(X11Connection& connection, const std::vector<xcb_window_t>& windows);
    // Drops what was heard while not watched.
    void dropHeard();

  private:
    X11FocusWatch(xcb_connection_t* connection, xcb_window_t root, bool hasInput)
        : connection_(connection), root_(root), hasInput_(hasInput) {}
    void listenTo(const std::vector<xcb_window_t>& windows);
    // Only while watched: unread, the user's input would pile up here.
    void listenToInput(bool listening);
    // Whether one of the events read since ends the gathering.
    bool readNews(const X11Connection& connection);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    bool hasInput_;
    // The windows whose focus changes this connection asked for; a window gone meanwhile only
    // makes an error, which is read and dropped.
    std::set<xcb_window_t> listened_;
};

}  // namespace talvori::x11

#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <set>
#include <vector>

namespace talvori {
class FileWatch;
}

namespace talvori::x11 {

class X11Connection;

// A second connection to the X server that hears of nothing but the keyboard focus moving into
// other programs' windows. While the main connection's descriptor is left alone for a moment
// (the window manager's answer to a switch comes in several bursts, none of which changes what
// the switch decided), this one wakes the loop only for a switch that follows, so that it is
// handled at once while the rest of the bursts still wait.
class X11FocusWatch : public std::enable_shared_from_this<X11FocusWatch> {
  public:
    // Null when the server cannot be reached a second time.
    static std::shared_ptr<X11FocusWatch> open(const char* display);
    ~X11FocusWatch();
    X11FocusWatch(const X11FocusWatch&) = delete;
    X11FocusWatch& operator=(const X11FocusWatch&) = delete;

    // Listens to the focus of `windows` (in order; besides those listened to already) and watches
    // the descriptor for as long as the handle is kept: what it reads goes to `connection`, which
    // hands everything over once an event of it ends its gathering. What came before is
    // dropped: the main connection told it.
    std::shared_ptr<FileWatch> watch(X11Connection& connection,
                                     const std::vector<xcb_window_t>& windows);

  private:
    explicit X11FocusWatch(xcb_connection_t* connection) : connection_(connection) {}
    void listenTo(const std::vector<xcb_window_t>& windows);
    void dropRead();
    // Whether one of the events read since ends the gathering.
    bool readNews(const X11Connection& connection);

    xcb_connection_t* connection_;
    // The windows whose focus changes this connection asked for; a window gone meanwhile only
    // makes an error, which is read and dropped.
    std::set<xcb_window_t> listened_;
};

}  // namespace talvori::x11

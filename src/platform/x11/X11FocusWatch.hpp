#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <vector>

#include "platform/core/Registration.hpp"

namespace talvori {
class FileWatch;
}

namespace talvori::x11 {

class X11Connection;

// A second connection to the X server that hears of nothing but the keyboard focus moving into
// other programs' windows and the user's keys and buttons, and only while Focus is on (or, the
// keys and buttons alone, while a busy window manager's traffic is read in batches). While the
// main connection's descriptor is left alone for a moment (the window manager's answer to a
// switch comes in several bursts, none of which changes what the switch decided), this one wakes
// the loop for a switch that follows or the user's input, so that they are handled at once while
// the rest of the bursts still wait.
class X11FocusWatch : public std::enable_shared_from_this<X11FocusWatch> {
  public:
    // Null when the server cannot be reached a second time.
    static std::shared_ptr<X11FocusWatch> open(const char* display);
    ~X11FocusWatch();
    X11FocusWatch(const X11FocusWatch&) = delete;
    X11FocusWatch& operator=(const X11FocusWatch&) = delete;

    // Selects the focus changes of `windows` and the user's keys and buttons once, and reads
    // them as they come, for as long as a registration is kept; then selects nothing, so that
    // nothing wakes the loop. What is read is dropped unless a gathering watches.
    Registration hear(X11Connection& connection, const std::vector<xcb_window_t>& windows);
    // Whether a registration of `hear` is kept (Focus follows switches).
    bool isHearing() const { return switchHearers_ > 0; }
    // Selects the user's keys and buttons alone for as long as the registration is kept; each
    // one heard meanwhile ends the connection's gathering at once, whoever began it. Empty
    // where the server cannot tell them (no XInput 2).
    Registration hearInput(X11Connection& connection);
    // While kept, what is heard goes to the connection given to `hear`, which hands everything
    // over once an event of it ends its gathering. Also listens to the focus of those of
    // `windows` (in order) that came since. What came before is dropped: the main connection
    // told it. Empty unless hearing.
    Registration watch(const std::vector<xcb_window_t>& windows);

  private:
    X11FocusWatch(xcb_connection_t* connection, xcb_window_t root, bool hasInput)
        : connection_(connection), root_(root), hasInput_(hasInput) {}
    // Keys and buttons are selected, and the descriptor read, while either kind of hearer is kept.
    void addInputHearer(X11Connection& connection);
    void removeInputHearer();
    void stopListening();
    // Whether a request went out.
    bool listenTo(const std::vector<xcb_window_t>& windows);
    void listenToInput(bool listening);
    void dropHeard();
    void readNews();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    bool hasInput_;
    int switchHearers_ = 0;
    // Those of `hear` and those of `hearInput`.
    int inputHearers_ = 0;
    int inputOnlyHearers_ = 0;
    std::weak_ptr<X11Connection> owner_;
    std::shared_ptr<FileWatch> fileWatch_;
    bool watched_ = false;
    // The windows whose focus changes this connection asked for, in order; a window gone
    // meanwhile only makes an error, which is read and dropped.
    std::vector<xcb_window_t> listened_;
};

}  // namespace talvori::x11

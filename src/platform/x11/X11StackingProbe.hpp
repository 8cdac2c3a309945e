#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/x11/X11RootSpace.hpp"

namespace talvori {
class RunLoop;
}

namespace talvori::x11 {

class X11Connection;

// Whether a window we stack ourselves shows between the windows the window manager manages,
// found by looking rather than by the window manager's name: a small window the window manager
// manages, and one of ours stacked directly below its frame at the same place, each in its own
// colour. Where the screen shows the managed one, our windows stand where we put them;
// where it shows ours, the compositor paints windows it does not manage above all others (KWin),
// or the window manager puts them there (Mutter), and panels that must stand between other
// programs' windows are handed to the window manager. The managed window changes colour once ours
// is in place, so a picture painted before ours arrived is never taken for an answer. Each window
// also reaches where the other does not, and only a picture that shows both there counts: a
// compositor shows a window only once it has taken it in (KWin, under load, well after the other
// window's new colour), and a picture without one of them shows the other over nothing. A busy
// window manager or compositor is waited for with the windows kept. Handing panels to the window
// manager is right where our own stacking is not, only slower: a screen that never settles answers
// no for now and is looked at again later, and a yes counts only once a second look, a moment
// later, agrees and the compositor has taken our windows' painting over (one that owns the
// compositing selection but is still starting shows the server's order for a while, however
// long). A window manager that lowers a window to the bottom when asked to put it below another
// (openbox) cannot stack panels for us: there our own stacking is the only one that can be right.
class X11StackingProbe : public std::enable_shared_from_this<X11StackingProbe> {
  public:
    static constexpr double kLookDelay = 0.1;
    static constexpr int kAttempts = 8;
    // Before the second look that must agree with a yes.
    static constexpr double kConfirmDelay = 0.25;
    // Before looking again at a screen that did not settle, and how often that is done.
    static constexpr double kUnsettledDelay = 2;
    static constexpr int kUnsettledLooks = 4;
    // Until the very first answer nothing is dimmed: that look gives up sooner, answering what is
    // right everywhere, and the next one comes sooner too.
    static constexpr int kFirstLookAttempts = 3;
    static constexpr double kFirstUnsettledDelay = 0.5;
    // The managed window's colour before ours is placed and after, and ours.
    static constexpr std::uint32_t kManagedColor = 0x10f0a0;
    static constexpr std::uint32_t kManagedPlacedColor = 0x1060f0;
    static constexpr std::uint32_t kOwnColor = 0xf01060;
    // Ours reaches this far beside the managed window, out of reach of any shadow the compositor
    // gives that one: there the screen shows whether the compositor paints ours at all.
    static constexpr int kUncoveredOwnPixel = 48;

    using FrameOf = std::function<xcb_window_t(xcb_window_t)>;
    X11StackingProbe(std::shared_ptr<X11Connection> connection, std::weak_ptr<RunLoop> loop,
                     FrameOf frameOf, std::function<void(bool between)> concluded);
    ~X11StackingProbe();
    X11StackingProbe(const X11StackingProbe&) = delete;
    X11StackingProbe& operator=(const X11StackingProbe&) = delete;

    // Looks (again): at start and whenever a compositor or window manager comes or goes.
    void start();
    bool isProbeWindow(xcb_window_t window) const {
        return window != XCB_WINDOW_NONE && (window == managed_ || window == own_);
    }
    // Whether a look is still to come: the answer given so far may yet change.
    bool isLooking() const { return looking_; }

  private:
    void begin();
    // Asked of the server without waiting: each step goes on once its answer has come.
    void showManagedAt(const RootRect& at);
    void placeOwnBelowFrame();
    void placeOwnBelow(xcb_window_t frame, std::int16_t x, std::int16_t y);
    void look(std::int16_t x, std::int16_t y);
    // Waits longer for the same windows; false once out of attempts (and concluded).
    bool retry();
    void later(std::function<void(X11StackingProbe&)> then, double delay);
    void later(std::function<void(X11StackingProbe&)> then) {
        later(std::move(then), kLookDelay * (1 + attempts_));
    }
    void seen(bool between, std::int16_t x, std::int16_t y);
    // Learns, without waiting, the Composite extension's request code and whether the window
    // manager lowers to the bottom.
    void fetchDesktopFacts();
    // Whether a compositor paints our probe window off-screen already, so that what the screen
    // shows is its picture, not the server's: told to `then` without waiting.
    void checkCompositorRedirectsOwn(std::function<void(X11StackingProbe&, bool)> then);
    void unsettled();
    void destroyWindows();
    void conclude(bool between);

    std::shared_ptr<X11Connection> connection_;
    std::weak_ptr<RunLoop> loop_;
    FrameOf frameOf_;
    std::function<void(bool)> concluded_;
    int attempts_ = 0;
    // Looks in a row that found our windows between the window manager's.
    int agreeing_ = 0;
    int unsettledLooks_ = 0;
    bool answered_ = false;
    bool looking_ = false;
    xcb_window_t managed_ = XCB_WINDOW_NONE;
    xcb_window_t own_ = XCB_WINDOW_NONE;
    // The Composite extension's request code, once told; 0 where the server has none.
    std::optional<std::uint8_t> compositeOpcode_;
    bool managerLowersToTheBottom_ = false;
    // A newer look makes what an older one still waits for meaningless.
    std::uint64_t looks_ = 0;
};

}  // namespace talvori::x11

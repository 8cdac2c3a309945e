#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <optional>

#include "platform/core/Logger.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/desktop/ColorSampler.hpp"

namespace talvori {
class RunLoop;
}

namespace talvori::x11 {

class X11EventRouter;

class X11Connection;

// Picking a colour anywhere on screen: the pointer and the keyboard are ours while it runs (a
// crosshair pointer; other programs and our own windows see nothing), a small loupe beside the
// pointer shows the pixels around it enlarged, a click takes the pixel under the pointer as the
// screen shows it (compositing, translucent windows and our own panels included), and Escape
// gives up. While another program holds a grab (an open menu) it waits a moment, then gives up.
class X11ColorSampler final : public ColorSampler,
                              public std::enable_shared_from_this<X11ColorSampler> {
  public:
    // Pixels around the pointer the loupe shows, on each side of the middle one.
    static constexpr int kLoupeReach = 7;
    static constexpr int kLoupeZoom = 8;

    X11ColorSampler(std::shared_ptr<X11Connection> connection, std::shared_ptr<RunLoop> loop,
                    Logger log);
    ~X11ColorSampler() override;

    void begin(std::function<void(std::optional<Color>)> handler) override;

    bool isSampling() const { return handler_ != nullptr; }
    // Its handlers take the events the sampler owns while it runs.
    void subscribe(X11EventRouter& router);
    // The loupe's window while it shows.
    xcb_window_t loupe() const { return loupe_; }

  private:
    bool pointerMoved(const xcb_motion_notify_event_t& motion);
    bool buttonPressed(const xcb_button_press_event_t& press);
    bool keyPressed(const xcb_key_press_event_t& key);
    bool exposed(const xcb_expose_event_t& expose);
    // A release, which does nothing but is the sampler's too.
    template <class Event>
    bool takeWhileGrabbed(const Event& event);
    bool grab();
    void tryGrab(int attemptsLeft);
    void showLoupe(std::int16_t x, std::int16_t y);
    void paintLoupe();
    std::optional<Color> pixelAt(std::int16_t x, std::int16_t y) const;
    void finish(std::optional<Color> color);
    xcb_cursor_t crosshair();

    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<RunLoop> loop_;
    Logger log_;
    std::function<void(std::optional<Color>)> handler_;
    bool grabbed_ = false;
    TimerSlot retry_;
    xcb_window_t loupe_ = XCB_WINDOW_NONE;
    xcb_cursor_t crosshair_ = XCB_CURSOR_NONE;
    std::int16_t pointerX_ = 0;
    std::int16_t pointerY_ = 0;
    bool paintPending_ = false;
};

}  // namespace talvori::x11

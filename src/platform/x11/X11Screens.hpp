#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/desktop/Screens.hpp"
#include "platform/x11/X11RootSpace.hpp"

namespace talvori {
class Logger;
class NotificationCenter;
class RunLoop;
}  // namespace talvori

namespace talvori::x11 {

class X11EventRouter;

class X11Connection;

// The monitors as RandR reports them, primary first, with the work area the window manager
// leaves free; kept up to date from RandR and root property changes.
class X11Screens final : public Screens, public std::enable_shared_from_this<X11Screens> {
  public:
    // Says in `log` when the scale asked for is lowered to fit the primary monitor.
    X11Screens(std::shared_ptr<X11Connection> connection, std::weak_ptr<RunLoop> loop,
               NotificationCenter& center, const Logger& log);

    std::vector<Screen> screens() const override { return screens_; }
    std::optional<Screen> mainScreen() const override;

    // The conversion between the global space and root coordinates for the current monitors and
    // the display's scale, read once at the start as GTK and Qt programs do.
    const X11RootSpace& space() const { return space_; }
    // The frame of the window the keyboard goes to, for mainScreen(): ours when one is key, else
    // the window the user works in, else a point at the pointer.
    void setFocusedWindowFrame(std::function<std::optional<Rect>()> frame) {
        focusedWindowFrame_ = std::move(frame);
    }

    // Selects the events that tell of changes; call once.
    void startWatching();
    void subscribe(X11EventRouter& router);
    // Reads the monitors again; posts the change notice on a later turn when something changed.
    void reload();

  private:
    struct Monitor {
        std::uint32_t identifier;
        RootRect rect;
    };
    void randrNotified(const xcb_generic_event_t& event);
    void configureNotified(const xcb_configure_notify_event_t& configure);
    void propertyChanged(const xcb_property_notify_event_t& notify);
    std::vector<Monitor> readMonitors() const;
    std::optional<RootRect> readWorkArea() const;

    std::shared_ptr<X11Connection> connection_;
    std::weak_ptr<RunLoop> loop_;
    NotificationCenter& center_;
    std::vector<Screen> screens_;
    X11RootSpace space_;
    double scale_ = 1;
    std::uint32_t rootWidth_ = 0;
    std::uint32_t rootHeight_ = 0;
    std::function<std::optional<Rect>()> focusedWindowFrame_;
};

}  // namespace talvori::x11

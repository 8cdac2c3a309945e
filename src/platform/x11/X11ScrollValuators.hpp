#pragma once

#include <xcb/xinput.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace talvori::x11 {

class X11Connection;

// The vertical scroll valuators of the pointing devices (XInput 2.1 and later): a smooth-scrolling
// touchpad or wheel reports a position that grows as it scrolls, and a wheel notch is one increment
// of it. Turns a motion's valuator values into notches, fractions included.
class X11ScrollValuators {
  public:
    explicit X11ScrollValuators(std::shared_ptr<X11Connection> connection);

    // Notches scrolled down (up when negative) since the device's last motion; none when the
    // motion moved no vertical scroll valuator.
    std::optional<double> verticalNotches(const xcb_input_motion_event_t& motion);
    // Whether the device scrolls by valuators, so that its wheel buttons are the server's copy.
    bool scrollsSmoothly(std::uint16_t device);
    // Reads the positions again: the device may have scrolled over other windows since.
    void reload();

  private:
    struct Axis {
        std::uint16_t number = 0;
        double increment = 1;
        std::optional<double> position;
    };
    using Axes = std::vector<Axis>;

    Axes& axesOf(std::uint16_t device);
    // The devices' vertical scroll axes, with where each stands now.
    std::map<std::uint16_t, Axes> query(std::uint16_t device) const;

    std::shared_ptr<X11Connection> connection_;
    std::map<std::uint16_t, Axes> devices_;
};

}  // namespace talvori::x11

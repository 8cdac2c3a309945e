#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/x11/harness/X11TestDriver.hpp"

namespace talvori::testing {

// Another program on a connection of its own, reading the root's news: it plays a window manager
// that fights our restacks, or one that carries out restack requests (after dropping some).
class X11WindowManagerStandIn {
  public:
    X11WindowManagerStandIn(const std::string& display, std::uint32_t events);

    xcb_connection_t* raw() const { return connection_.connection(); }
    X11TestDriver& driver() { return connection_; }
    // Handles what the server told so far.
    void answer(const std::function<void(const xcb_generic_event_t&)>& handle);
    void restack(xcb_window_t window, xcb_window_t sibling, std::uint32_t mode);
    // As the window manager (holding the root's redirection): maps and restacks as asked, and
    // carries out the restack requests `carryOut` lets through.
    void manage(const xcb_generic_event_t& event, const std::function<bool()>& carryOut);

  private:
    X11TestDriver connection_;
    xcb_atom_t restackWindow_;
};

}  // namespace talvori::testing

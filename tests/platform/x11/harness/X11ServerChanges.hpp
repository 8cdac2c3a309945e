#pragma once

#include <xcb/xcb.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/x11/harness/X11TestDriver.hpp"

namespace talvori::testing {

// What another program watching the root sees the server do: the moves of one window (a child of
// the root) in the stacking order, and windows made and destroyed. A restack that leaves the
// window between the same two windows (a window manager restacking all its windows) is no move.
class X11ServerChanges {
  public:
    X11ServerChanges(const std::string& display, xcb_window_t window);
    struct Counts {
        int restacks = 0;
        int created = 0;
        int destroyed = 0;
    };
    // What happened since the last call.
    Counts take();

  private:
    std::pair<xcb_window_t, xcb_window_t> neighbours();
    bool isProgramWindow(xcb_window_t window);
    void restack(xcb_window_t window, xcb_window_t below);

    X11TestDriver watcher_;
    xcb_window_t window_;
    // The root's children, bottom to top, as the events told.
    std::vector<xcb_window_t> order_;
    std::set<xcb_window_t> programWindows_;
};

}  // namespace talvori::testing

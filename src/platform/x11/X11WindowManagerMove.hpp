#pragma once

#include <xcb/xcb.h>

namespace talvori::x11 {

class X11Connection;

// Asks the window manager to move `window` with the pointer, from the press of `button` that is
// still held (the way a title bar is dragged): the pointer is let go first, so that the window
// manager can take it. False, with nothing changed, where no running window manager offers that
// move or the button is up again.
bool requestWindowManagerMove(X11Connection& connection, xcb_window_t window,
                              xcb_button_t button = 1);

}  // namespace talvori::x11

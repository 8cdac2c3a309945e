#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

#include "platform/x11/X11RootSpace.hpp"

namespace talvori::x11 {

class X11Connection;

// What a managed window of ours (the first-run window, the settings window) tells the window
// manager and the desktop beyond its title and size: which machine and program it belongs to (so
// that a hung program can be recognised and ended), that it answers the manager's pings, its
// icon, the user's last input time (so that it may take the focus), and its frame's appearance.
struct X11SceneWindowHints {
    // The application icon at the sizes task bars and switchers use, as _NET_WM_ICON holds them:
    // width, height, then the pixels, for each size.
    static std::vector<std::uint32_t> iconCardinals();

    static void apply(const X11Connection& connection, xcb_window_t window);
    // A borderless window the window manager is to stack among its own windows and leave alone
    // otherwise: no frame, never focused, on every desktop, in no task bar, pager or window
    // switcher, kept where and as large as it was put, and always composited.
    static void applyStacked(const X11Connection& connection, xcb_window_t window,
                             const RootRect& rect);
    // Asks the window manager for a dark frame, where it draws one.
    static void setDarkFrame(const X11Connection& connection, xcb_window_t window, bool dark);
    // Asks the window manager to remove, add or toggle (`action` 0, 1, 2) up to two states of a
    // window it manages, as the application (`source` 1) or as a pager (2).
    static constexpr std::uint32_t kStateRemove = 0;
    static constexpr std::uint32_t kStateAdd = 1;
    static constexpr std::uint32_t kStateToggle = 2;
    static void requestState(const X11Connection& connection, xcb_window_t window,
                             std::uint32_t action, xcb_atom_t first,
                             xcb_atom_t second = XCB_ATOM_NONE, std::uint32_t source = 1);
    // Answers the window manager's ping; true when `message` was one.
    static bool answerPing(const X11Connection& connection,
                           const xcb_client_message_event_t& message);
};

}  // namespace talvori::x11

#pragma once

#include <array>
#include <cstddef>

namespace talvori::x11 {

// Every atom the backend names, interned once at connection time. The per-screen selections
// (compositor, settings daemon) are added with the screen's number.
#define TALVORI_X11_ATOMS(X)           \
    X(UTF8_STRING)                     \
    X(WM_PROTOCOLS)                    \
    X(WM_DELETE_WINDOW)                \
    X(WM_STATE)                        \
    X(_NET_SUPPORTED)                  \
    X(_NET_SUPPORTING_WM_CHECK)        \
    X(_NET_ACTIVE_WINDOW)              \
    X(_NET_CLIENT_LIST)                \
    X(_NET_CLIENT_LIST_STACKING)       \
    X(_NET_CURRENT_DESKTOP)            \
    X(_NET_NUMBER_OF_DESKTOPS)         \
    X(_NET_WORKAREA)                   \
    X(_NET_WM_NAME)                    \
    X(_NET_WM_ICON)                    \
    X(_NET_WM_PID)                     \
    X(_NET_WM_PING)                    \
    X(_NET_WM_USER_TIME)               \
    X(_NET_WM_DESKTOP)                 \
    X(_NET_WM_STRUT)                   \
    X(_NET_WM_STRUT_PARTIAL)           \
    X(_NET_WM_WINDOW_OPACITY)          \
    X(_NET_WM_STATE)                   \
    X(_NET_WM_STATE_ABOVE)             \
    X(_NET_WM_STATE_HIDDEN)            \
    X(_NET_WM_STATE_SKIP_TASKBAR)      \
    X(_NET_WM_STATE_SKIP_PAGER)        \
    X(_NET_WM_STATE_STICKY)            \
    X(_NET_WM_STATE_FULLSCREEN)        \
    X(_NET_WM_BYPASS_COMPOSITOR)       \
    X(_NET_WM_STATE_DEMANDS_ATTENTION) \
    X(_NET_WM_STATE_MAXIMIZED_VERT)    \
    X(_NET_WM_STATE_MAXIMIZED_HORZ)    \
    X(_NET_WM_WINDOW_TYPE)             \
    X(_NET_WM_WINDOW_TYPE_NORMAL)      \
    X(_NET_WM_WINDOW_TYPE_DOCK)        \
    X(_NET_WM_WINDOW_TYPE_DESKTOP)     \
    X(_NET_WM_WINDOW_TYPE_UTILITY)     \
    X(_NET_FRAME_EXTENTS)              \
    X(_NET_RESTACK_WINDOW)             \
    X(_NET_WM_MOVERESIZE)              \
    X(_GTK_FRAME_EXTENTS)              \
    X(_MOTIF_WM_HINTS)                 \
    X(_KDE_NET_WM_BLUR_BEHIND_REGION)  \
    X(_NET_SYSTEM_TRAY_COLORS)         \
    X(_XSETTINGS_SETTINGS)

enum class Atom : std::size_t {
#define TALVORI_X11_ATOM_ENUM(name) name,
    TALVORI_X11_ATOMS(TALVORI_X11_ATOM_ENUM)
#undef TALVORI_X11_ATOM_ENUM
        compositorSelection,
    settingsSelection,
    count
};

}  // namespace talvori::x11

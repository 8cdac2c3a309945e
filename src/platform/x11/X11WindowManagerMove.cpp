#include "platform/x11/X11WindowManagerMove.hpp"

#include <algorithm>

#include "platform/x11/X11Atoms.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

constexpr std::uint32_t kMoveDirection = 8;
constexpr std::uint32_t kSourceApplication = 1;

// A window manager that ended leaves its properties on the root: its check window is gone then.
bool isWindowManagerRunning(X11Connection& connection, std::optional<PropertyValue> check) {
    const auto window = check ? check->cardinal() : std::nullopt;
    if (!window) return false;
    xcb_connection_t* raw = connection.raw();
    const auto own = propertyReply(
        raw, requestProperty(raw, *window, connection.atom(Atom::_NET_SUPPORTING_WM_CHECK), 1));
    return own && own->cardinal() == window;
}

}  // namespace

bool requestWindowManagerMove(X11Connection& connection, xcb_window_t window, xcb_button_t button) {
    xcb_connection_t* raw = connection.raw();
    const xcb_window_t root = connection.root();
    const xcb_atom_t move = connection.atom(Atom::_NET_WM_MOVERESIZE);
    const auto supportedCookie = requestProperty(raw, root, connection.atom(Atom::_NET_SUPPORTED));
    const auto checkCookie =
        requestProperty(raw, root, connection.atom(Atom::_NET_SUPPORTING_WM_CHECK), 1);
    const auto pointerCookie = xcb_query_pointer(raw, root);
    const auto supported = propertyReply(raw, supportedCookie);
    const auto check = propertyReply(raw, checkCookie);
    const auto pointer = waitReply(xcb_query_pointer_reply, raw, pointerCookie);
    const auto atoms = supported ? supported->cardinals() : std::vector<std::uint32_t>{};
    const bool offered = std::find(atoms.begin(), atoms.end(), move) != atoms.end();
    const auto buttonMask = static_cast<std::uint16_t>(XCB_BUTTON_MASK_1 << (button - 1));
    if (!offered || !pointer || !(pointer->mask & buttonMask) ||
        !isWindowManagerRunning(connection, check)) {
        return false;
    }
    // The press grabbed the pointer for us; the window manager cannot grab it while we hold it.
    xcb_ungrab_pointer(raw, connection.lastTime());
    connection.sendToWindowManager(
        window, move,
        {static_cast<std::uint32_t>(pointer->root_x), static_cast<std::uint32_t>(pointer->root_y),
         kMoveDirection, button, kSourceApplication});
    xcb_flush(raw);
    return true;
}

}  // namespace talvori::x11

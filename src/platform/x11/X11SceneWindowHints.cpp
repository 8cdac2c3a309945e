#include "platform/x11/X11SceneWindowHints.hpp"

#include <librsvg/rsvg.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/freedesktop/DesktopFiles.hpp"
#include "platform/freedesktop/IconPixels.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128};

xcb_atom_t intern(const X11Connection& connection, const char* name) {
    auto reply = waitReply(
        xcb_intern_atom_reply, connection.raw(),
        xcb_intern_atom(connection.raw(), 0, static_cast<std::uint16_t>(std::strlen(name)), name));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

std::vector<std::uint32_t> X11SceneWindowHints::iconCardinals() {
    std::vector<std::uint32_t> cardinals;
    RsvgHandle* handle =
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(freedesktop::kApplicationIconSvg),
                                  std::strlen(freedesktop::kApplicationIconSvg), nullptr);
    if (!handle) return cardinals;
    for (const int size : kIconSizes) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* context = cairo_create(surface);
        const RsvgRectangle area{0, 0, static_cast<double>(size), static_cast<double>(size)};
        rsvg_handle_render_document(handle, context, &area, nullptr);
        cairo_destroy(context);
        cardinals.push_back(static_cast<std::uint32_t>(size));
        cardinals.push_back(static_cast<std::uint32_t>(size));
        const auto pixels = freedesktop::IconPixels::straight(surface);
        cardinals.insert(cardinals.end(), pixels.begin(), pixels.end());
        cairo_surface_destroy(surface);
    }
    g_object_unref(handle);
    return cardinals;
}

void X11SceneWindowHints::apply(const X11Connection& connection, xcb_window_t window) {
    xcb_connection_t* raw = connection.raw();
    const xcb_atom_t protocols[] = {connection.atom(Atom::WM_DELETE_WINDOW),
                                    connection.atom(Atom::_NET_WM_PING)};
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, connection.atom(Atom::WM_PROTOCOLS),
                        XCB_ATOM_ATOM, 32, 2, protocols);
    // With the process number it names the program the window manager may end when it hangs.
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) == 0) {
        xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLIENT_MACHINE,
                            XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(std::strlen(host)),
                            host);
    }
    const auto icon = iconCardinals();
    if (!icon.empty()) {
        xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, intern(connection, "_NET_WM_ICON"),
                            XCB_ATOM_CARDINAL, 32, static_cast<std::uint32_t>(icon.size()),
                            icon.data());
    }
    // Opened by the user's latest click or key: focus-stealing prevention lets it take the focus.
    const xcb_timestamp_t time = connection.lastTime();
    if (time != XCB_CURRENT_TIME) {
        xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window,
                            connection.atom(Atom::_NET_WM_USER_TIME), XCB_ATOM_CARDINAL, 32, 1,
                            &time);
    }
}

void X11SceneWindowHints::applyStacked(const X11Connection& connection, xcb_window_t window,
                                       const RootRect& rect) {
    xcb_connection_t* raw = connection.raw();
    const auto set = [&](xcb_atom_t property, xcb_atom_t type, const std::uint32_t* values,
                         std::uint32_t count) {
        xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, property, type, 32, count, values);
    };
    const xcb_atom_t type = connection.atom(Atom::_NET_WM_WINDOW_TYPE_NORMAL);
    set(connection.atom(Atom::_NET_WM_WINDOW_TYPE), XCB_ATOM_ATOM, &type, 1);
    // flags = decorations, decorations = none.
    const std::uint32_t motif[5] = {2, 0, 0, 0, 0};
    const xcb_atom_t motifAtom = connection.atom(Atom::_MOTIF_WM_HINTS);
    set(motifAtom, motifAtom, motif, 5);
    // WM_HINTS: input hint, no input.
    const std::uint32_t hints[9] = {1, 0};
    set(XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, hints, 9);
    const xcb_atom_t states[] = {connection.atom(Atom::_NET_WM_STATE_SKIP_TASKBAR),
                                 connection.atom(Atom::_NET_WM_STATE_SKIP_PAGER),
                                 connection.atom(Atom::_NET_WM_STATE_STICKY)};
    set(connection.atom(Atom::_NET_WM_STATE), XCB_ATOM_ATOM, states, 3);
    const std::uint32_t everyDesktop = 0xFFFFFFFF;
    set(connection.atom(Atom::_NET_WM_DESKTOP), XCB_ATOM_CARDINAL, &everyDesktop, 1);
    // A user time of 0: not to be activated when mapped.
    const std::uint32_t never = 0;
    set(connection.atom(Atom::_NET_WM_USER_TIME), XCB_ATOM_CARDINAL, &never, 1);
    // 2: never shown uncomposited, which would make it opaque.
    const std::uint32_t composited = 2;
    set(connection.atom(Atom::_NET_WM_BYPASS_COMPOSITOR), XCB_ATOM_CARDINAL, &composited, 1);
    // Size hints: user and program position, fixed size, static gravity.
    std::uint32_t size[18] = {};
    size[0] = 1 | 4 | 16 | 32 | 512;
    size[1] = static_cast<std::uint32_t>(rect.x);
    size[2] = static_cast<std::uint32_t>(rect.y);
    size[3] = size[5] = size[7] = rect.width;
    size[4] = size[6] = size[8] = rect.height;
    size[17] = 10;
    set(XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, size, 18);
}

void X11SceneWindowHints::setDarkFrame(const X11Connection& connection, xcb_window_t window,
                                       bool dark) {
    const xcb_atom_t variant = intern(connection, "_GTK_THEME_VARIANT");
    if (!dark) {
        xcb_delete_property(connection.raw(), window, variant);
        return;
    }
    constexpr char kDark[] = "dark";
    xcb_change_property(connection.raw(), XCB_PROP_MODE_REPLACE, window, variant,
                        connection.atom(Atom::UTF8_STRING), 8, sizeof kDark - 1, kDark);
}

void X11SceneWindowHints::requestState(const X11Connection& connection, xcb_window_t window,
                                       std::uint32_t action, xcb_atom_t first, xcb_atom_t second,
                                       std::uint32_t source) {
    connection.sendToWindowManager(window, connection.atom(Atom::_NET_WM_STATE),
                                   {action, first, second, source, 0});
}

bool X11SceneWindowHints::answerPing(const X11Connection& connection,
                                     const xcb_client_message_event_t& message) {
    if (message.format != 32 || message.type != connection.atom(Atom::WM_PROTOCOLS) ||
        message.data.data32[0] != connection.atom(Atom::_NET_WM_PING)) {
        return false;
    }
    // The ping goes back to the root, where the window manager listens.
    xcb_client_message_event_t pong = message;
    pong.window = connection.root();
    xcb_send_event(connection.raw(), 0, connection.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&pong));
    return true;
}

}  // namespace talvori::x11

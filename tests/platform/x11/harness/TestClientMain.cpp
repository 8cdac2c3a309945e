// A stand-in for another program's window in the X11 tests: one top-level window with a title, a
// WM_CLASS, its process number, a solid colour and, when asked, an icon of 16 and 32 pixels in
// another. It prints the window's id once mapped and runs until its window is closed, it is
// killed or the server goes away.
//
//   talvori_x11_test_client TITLE CLASS X Y WIDTH HEIGHT RRGGBB [--no-pid] [--icon RRGGBB]
//       [--type desktop|dialog|...] [--no-focus] [--undecorated]

#include <unistd.h>
#include <xcb/xcb.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

xcb_atom_t intern(xcb_connection_t* connection, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s TITLE CLASS X Y WIDTH HEIGHT RRGGBB [--no-pid]\n", argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    const std::string windowClass = argv[2];
    const int x = std::atoi(argv[3]);
    const int y = std::atoi(argv[4]);
    const int width = std::atoi(argv[5]);
    const int height = std::atoi(argv[6]);
    const std::uint32_t color = static_cast<std::uint32_t>(std::strtoul(argv[7], nullptr, 16));
    bool publishPid = true;
    std::optional<std::uint32_t> iconColor;
    std::string type;
    bool takesFocus = true;
    bool undecorated = false;
    for (int index = 8; index < argc; ++index) {
        if (std::strcmp(argv[index], "--no-pid") == 0) publishPid = false;
        if (std::strcmp(argv[index], "--no-focus") == 0) takesFocus = false;
        if (std::strcmp(argv[index], "--undecorated") == 0) undecorated = true;
        if (std::strcmp(argv[index], "--type") == 0 && index + 1 < argc) type = argv[++index];
        if (std::strcmp(argv[index], "--icon") == 0 && index + 1 < argc) {
            iconColor = static_cast<std::uint32_t>(std::strtoul(argv[++index], nullptr, 16));
        }
    }

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {color,
                                    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const xcb_atom_t utf8 = intern(connection, "UTF8_STRING");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                        intern(connection, "_NET_WM_NAME"), utf8, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(title.size()), title.data());
    const std::string classes = windowClass + '\0' + windowClass + '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(classes.size()),
                        classes.data());
    if (publishPid) {
        const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            intern(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    if (iconColor) {
        std::vector<std::uint32_t> icon;
        for (const std::uint32_t side : {16U, 32U}) {
            icon.push_back(side);
            icon.push_back(side);
            icon.insert(icon.end(), side * side, 0xFF000000U | (*iconColor & 0xFFFFFFU));
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            intern(connection, "_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32,
                            static_cast<std::uint32_t>(icon.size()), icon.data());
    }
    const xcb_atom_t protocols = intern(connection, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = intern(connection, "WM_DELETE_WINDOW");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1,
                        &deleteWindow);
    // Where the test put it, not where the window manager would.
    std::uint32_t hints[18] = {};
    hints[0] = 1 | 2;
    hints[1] = static_cast<std::uint32_t>(x);
    hints[2] = static_cast<std::uint32_t>(y);
    hints[3] = static_cast<std::uint32_t>(width);
    hints[4] = static_cast<std::uint32_t>(height);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    if (!type.empty()) {
        std::string name = "_NET_WM_WINDOW_TYPE_" + type;
        for (char& letter : name)
            letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        const xcb_atom_t atom = intern(connection, name.c_str());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            intern(connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &atom);
    }
    if (!takesFocus) {
        // EWMH: a user time of 0 asks the window manager not to focus the window as it maps.
        const std::uint32_t never = 0;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            intern(connection, "_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 32, 1,
                            &never);
    }
    if (undecorated) {
        // Motif's hints, which every window manager reads: decorations (flag 2) none.
        const std::uint32_t motif[5] = {2, 0, 0, 0, 0};
        const xcb_atom_t atom = intern(connection, "_MOTIF_WM_HINTS");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom, atom, 32, 5, motif);
    }
    xcb_map_window(connection, window);
    xcb_flush(connection);
    std::printf("%u\n", window);
    std::fflush(stdout);

    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const std::uint8_t type = event->response_type & 0x7F;
        bool done = false;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            done = message->type == protocols && message->data.data32[0] == deleteWindow;
        } else if (type == XCB_DESTROY_NOTIFY) {
            done = true;
        }
        std::free(event);
        if (done) break;
    }
    xcb_disconnect(connection);
    return 0;
}

#include "platform/x11/X11FocusWatch.hpp"

#include <poll.h>
#include <xcb/xinput.h>

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

std::shared_ptr<X11FocusWatch> X11FocusWatch::open(const char* display) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        return nullptr;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && screens.rem > 0; ++index) xcb_screen_next(&screens);
    const xcb_window_t root = screens.rem > 0 ? screens.data->root : xcb_window_t{XCB_WINDOW_NONE};
    // Asked while starting, like the main connection's extensions: a switch never waits for it.
    const auto* input = xcb_get_extension_data(connection, &xcb_input_id);
    const bool hasInput = input && input->present && root != XCB_WINDOW_NONE;
    if (hasInput) {
        xcb_discard_reply(connection, xcb_input_xi_query_version(connection, 2, 2).sequence);
    }
    return std::shared_ptr<X11FocusWatch>(new X11FocusWatch(connection, root, hasInput));
}

X11FocusWatch::~X11FocusWatch() {
    xcb_disconnect(connection_);
}

Registration X11FocusWatch::hear(X11Connection& connection,
                                 const std::vector<xcb_window_t>& windows) {
    if (xcb_connection_has_error(connection_)) return {};
    addInputHearer(connection);
    if (switchHearers_++ == 0 && listenTo(windows)) xcb_flush(connection_);
    return Registration(weakly(weak_from_this(), [](X11FocusWatch& self) {
        if (--self.switchHearers_ == 0) self.stopListening();
        self.removeInputHearer();
    }));
}

Registration X11FocusWatch::hearInput(X11Connection& connection) {
    if (xcb_connection_has_error(connection_) || !hasInput_) return {};
    ++inputOnlyHearers_;
    addInputHearer(connection);
    return Registration(weakly(weak_from_this(), [](X11FocusWatch& self) {
        --self.inputOnlyHearers_;
        self.removeInputHearer();
    }));
}

Registration X11FocusWatch::watch(const std::vector<xcb_window_t>& windows) {
    if (!isHearing()) return {};
    // Only a window kept since Focus came on is asked for here: a switch writes nothing else.
    if (listenTo(windows)) xcb_flush(connection_);
    // The switch that began the gathering came here too, usually in the same wake-up: read now,
    // it costs no wake-up of its own, and nothing from before can end the gathering.
    dropHeard();
    watched_ = true;
    return Registration(
        weakly(weak_from_this(), [](X11FocusWatch& self) { self.watched_ = false; }));
}

void X11FocusWatch::addInputHearer(X11Connection& connection) {
    if (inputHearers_++ > 0) return;
    owner_ = connection.weak_from_this();
    // What came in after the last stop, before its deselection reached the server.
    dropHeard();
    listenToInput(true);
    xcb_flush(connection_);
    fileWatch_ = platform().runLoop().watch(
        xcb_get_file_descriptor(connection_), POLLIN,
        weakly(weak_from_this(), [](X11FocusWatch& self, short) { self.readNews(); }));
}

void X11FocusWatch::removeInputHearer() {
    if (--inputHearers_ > 0) return;
    fileWatch_.reset();
    watched_ = false;
    listenToInput(false);
    xcb_flush(connection_);
}

void X11FocusWatch::stopListening() {
    watched_ = false;
    const std::uint32_t none[] = {XCB_EVENT_MASK_NO_EVENT};
    for (const xcb_window_t window : listened_) {
        xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, none);
    }
    listened_.clear();
    xcb_flush(connection_);
}

bool X11FocusWatch::listenTo(const std::vector<xcb_window_t>& windows) {
    // At a switch the windows are almost always those of the switch before.
    if (windows == listened_) return false;
    const std::uint32_t mask[] = {XCB_EVENT_MASK_FOCUS_CHANGE};
    bool asked = false;
    for (const xcb_window_t window : windows) {
        if (std::binary_search(listened_.begin(), listened_.end(), window)) continue;
        xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, mask);
        asked = true;
    }
    // Windows gone from the list are gone from the server too.
    listened_ = windows;
    return asked;
}

void X11FocusWatch::listenToInput(bool listening) {
    if (!hasInput_) return;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                listening ? std::uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS |
                                          XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS}
                          : 0U};
    xcb_input_xi_select_events(connection_, root_, 1, &selection.head);
}

void X11FocusWatch::dropHeard() {
    while (Reply<xcb_generic_event_t>(xcb_poll_for_event(connection_))) {
    }
}

// The user's input and the window manager's focus changes come whether or not a gathering
// watches: unread, they would pile up in the socket.
void X11FocusWatch::readNews() {
    const auto owner = owner_.lock();
    const bool told = (watched_ || inputOnlyHearers_ > 0) && owner && owner->isGathering();
    bool ends = false;
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        ends = ends || (told && owner->endsGathering(*event));
    }
    if (told) owner->heardWhileGathering(ends);
}

}  // namespace talvori::x11

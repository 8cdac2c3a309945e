#include "platform/x11/X11FocusWatch.hpp"

#include <poll.h>

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

std::shared_ptr<X11FocusWatch> X11FocusWatch::open(const char* display) {
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        return nullptr;
    }
    return std::shared_ptr<X11FocusWatch>(new X11FocusWatch(connection));
}

X11FocusWatch::~X11FocusWatch() {
    xcb_disconnect(connection_);
}

std::shared_ptr<FileWatch> X11FocusWatch::watch(X11Connection& connection,
                                                const std::vector<xcb_window_t>& windows) {
    if (xcb_connection_has_error(connection_)) return nullptr;
    listenTo(windows);
    dropRead();
    return platform().runLoop().watch(
        xcb_get_file_descriptor(connection_), POLLIN,
        [weak = weak_from_this(), owner = connection.weak_from_this()](short) {
            const auto self = weak.lock();
            const auto main = owner.lock();
            if (self && main) main->heardWhileGathering(self->readNews(*main));
        });
}

void X11FocusWatch::listenTo(const std::vector<xcb_window_t>& windows) {
    const std::uint32_t mask[] = {XCB_EVENT_MASK_FOCUS_CHANGE};
    for (const xcb_window_t window : windows) {
        if (!listened_.insert(window).second) continue;
        xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, mask);
    }
    // Windows gone from the list (in order) are gone from the server too.
    std::erase_if(listened_, [&windows](xcb_window_t window) {
        return !std::binary_search(windows.begin(), windows.end(), window);
    });
    xcb_flush(connection_);
}

void X11FocusWatch::dropRead() {
    while (Reply<xcb_generic_event_t>(xcb_poll_for_event(connection_))) {
    }
}

bool X11FocusWatch::readNews(const X11Connection& connection) {
    bool ends = false;
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        ends = ends || connection.endsGathering(*event);
    }
    return ends;
}

}  // namespace talvori::x11

#include "X11WindowManagerStandIn.hpp"

#include <cstdlib>

namespace talvori::testing {

X11WindowManagerStandIn::X11WindowManagerStandIn(const std::string& display, std::uint32_t events)
    : connection_(display), restackWindow_(connection_.atom("_NET_RESTACK_WINDOW")) {
    xcb_change_window_attributes(raw(), connection_.root(), XCB_CW_EVENT_MASK, &events);
    connection_.sync();
}

void X11WindowManagerStandIn::answer(
    const std::function<void(const xcb_generic_event_t&)>& handle) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(raw())) {
        handle(*event);
        std::free(event);
    }
    xcb_flush(raw());
}

void X11WindowManagerStandIn::restack(xcb_window_t window, xcb_window_t sibling,
                                      std::uint32_t mode) {
    const std::uint32_t values[] = {sibling, mode};
    xcb_configure_window(raw(), window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                         values);
}

void X11WindowManagerStandIn::manage(const xcb_generic_event_t& event,
                                     const std::function<bool()>& carryOut) {
    const std::uint8_t type = event.response_type & 0x7F;
    if (type == XCB_MAP_REQUEST) {
        xcb_map_window(raw(), reinterpret_cast<const xcb_map_request_event_t&>(event).window);
    } else if (type == XCB_CONFIGURE_REQUEST) {
        const auto& request = reinterpret_cast<const xcb_configure_request_event_t&>(event);
        if (request.value_mask & XCB_CONFIG_WINDOW_STACK_MODE) {
            const bool sibling = request.value_mask & XCB_CONFIG_WINDOW_SIBLING;
            restack(request.window, sibling ? request.sibling : xcb_window_t{XCB_WINDOW_NONE},
                    request.stack_mode);
        }
    } else if (type == XCB_CLIENT_MESSAGE) {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (message.type != restackWindow_ || !carryOut()) return;
        restack(message.window, message.data.data32[1], message.data.data32[2]);
    }
}

}  // namespace talvori::testing

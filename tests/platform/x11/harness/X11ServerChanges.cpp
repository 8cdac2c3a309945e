#include "platform/x11/harness/X11ServerChanges.hpp"

#include <algorithm>
#include <cstdlib>

namespace talvori::testing {

X11ServerChanges::X11ServerChanges(const std::string& display, xcb_window_t window)
    : watcher_(display), window_(window) {
    const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_change_window_attributes(watcher_.connection(), watcher_.root(), XCB_CW_EVENT_MASK,
                                 events);
    watcher_.sync();
    order_ = watcher_.stacking();
}

std::pair<xcb_window_t, xcb_window_t> X11ServerChanges::neighbours() const {
    const auto self = std::find(order_.begin(), order_.end(), window_);
    if (self == order_.end()) return {XCB_WINDOW_NONE, XCB_WINDOW_NONE};
    return {self == order_.begin() ? xcb_window_t{XCB_WINDOW_NONE} : *(self - 1),
            self + 1 == order_.end() ? xcb_window_t{XCB_WINDOW_NONE} : *(self + 1)};
}

// Follows the order the server keeps, as a window manager would, from the events alone.
void X11ServerChanges::restack(xcb_window_t window, xcb_window_t below) {
    std::erase(order_, window);
    const auto sibling = std::find(order_.begin(), order_.end(), below);
    order_.insert(sibling == order_.end() ? order_.begin() : sibling + 1, window);
}

X11ServerChanges::Counts X11ServerChanges::take() {
    watcher_.sync();
    Counts counts;
    while (xcb_generic_event_t* event = xcb_poll_for_event(watcher_.connection())) {
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CONFIGURE_NOTIFY) {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(*event);
            const auto before = neighbours();
            restack(configure.window, configure.above_sibling);
            counts.restacks += configure.window == window_ && neighbours() != before;
        } else if (type == XCB_CREATE_NOTIFY) {
            order_.push_back(reinterpret_cast<const xcb_create_notify_event_t&>(*event).window);
            ++counts.created;
        } else if (type == XCB_DESTROY_NOTIFY) {
            std::erase(order_, reinterpret_cast<const xcb_destroy_notify_event_t&>(*event).window);
            ++counts.destroyed;
        } else if (type == XCB_REPARENT_NOTIFY) {
            const auto& reparent = reinterpret_cast<const xcb_reparent_notify_event_t&>(*event);
            std::erase(order_, reparent.window);
            if (reparent.parent == watcher_.root()) order_.push_back(reparent.window);
        }
        std::free(event);
    }
    return counts;
}

}  // namespace talvori::testing

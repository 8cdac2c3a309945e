#include "platform/x11/harness/X11ServerChanges.hpp"

#include <algorithm>
#include <cstdlib>

namespace talvori::testing {

X11ServerChanges::X11ServerChanges(const std::string& display, xcb_window_t window)
    : watcher_(display), window_(window) {
    const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_change_window_attributes(watcher_.connection(), watcher_.root(), XCB_CW_EVENT_MASK, events);
    watcher_.sync();
    order_ = watcher_.stacking();
}

// Only other programs' windows on screen count: a window manager that restacks all its windows at
// once shows one of ours (a cross-fade's small panel) or one of its own that shows nothing moving
// as our window changing places with it.
std::pair<xcb_window_t, xcb_window_t> X11ServerChanges::neighbours() {
    const auto self = std::find(order_.begin(), order_.end(), window_);
    if (self == order_.end()) return {XCB_WINDOW_NONE, XCB_WINDOW_NONE};
    auto below = std::make_reverse_iterator(self);
    const auto skipped = [this](xcb_window_t window) {
        return !watcher_.isViewable(window) || isProgramWindow(window);
    };
    while (below != order_.rend() && skipped(*below)) ++below;
    auto above = self + 1;
    while (above != order_.end() && skipped(*above)) ++above;
    return {below == order_.rend() ? xcb_window_t{XCB_WINDOW_NONE} : *below,
            above == order_.end() ? xcb_window_t{XCB_WINDOW_NONE} : *above};
}

// Its own window, or a window manager's frame around one (a few levels deep at most).
bool X11ServerChanges::isProgramWindow(xcb_window_t window) {
    // Known once seen: a frame is made before the window it holds is put in it.
    if (programWindows_.contains(window)) return true;
    std::vector<xcb_window_t> level{window};
    bool ours = false;
    for (int depth = 0; depth < 3 && !ours && !level.empty(); ++depth) {
        std::vector<xcb_window_t> next;
        for (const xcb_window_t one : level) {
            ours = ours || watcher_.windowClass(one).rfind("talvori", 0) == 0;
            const auto children = watcher_.children(one);
            next.insert(next.end(), children.begin(), children.end());
        }
        level = std::move(next);
    }
    if (ours) programWindows_.insert(window);
    return ours;
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

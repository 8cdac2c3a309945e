#include "platform/x11/X11EventRouter.hpp"

#include <algorithm>

namespace talvori::x11 {

void X11EventRouter::addProperty(xcb_atom_t atom, Handler handler) {
    const auto after =
        std::upper_bound(byAtom_.begin(), byAtom_.end(), atom,
                         [](xcb_atom_t wanted, const auto& entry) { return wanted < entry.first; });
    byAtom_.insert(after, {atom, handler});
}

bool X11EventRouter::route(const xcb_generic_event_t& event) const {
    const std::uint8_t type = event.response_type & 0x7F;
    const auto& handlers = byType_[type];
    if (callEach(handlers.data(), handlers.data() + handlers.size(), event)) return true;
    bool heard = !handlers.empty();
    if (type == XCB_PROPERTY_NOTIFY && routeProperty(event, heard)) return true;
#ifndef NDEBUG
    if (!heard) ++unheard_[type];
#endif
    return false;
}

bool X11EventRouter::routeProperty(const xcb_generic_event_t& event, bool& heard) const {
    const xcb_atom_t atom = reinterpret_cast<const xcb_property_notify_event_t&>(event).atom;
    for (auto it = std::lower_bound(
             byAtom_.begin(), byAtom_.end(), atom,
             [](const auto&entry, xcb_atom_t wanted) { return entry.first < wanted; });
         it != byAtom_.end() && it->first == atom; ++it) {
        heard = true;
        if (it->second.call(it->second.owner, event)) return true;
    }
    return false;
}

bool X11EventRouter::callEach(const Handler* first, const Handler* last,
                              const xcb_generic_event_t& event) {
    for (; first != last; ++first) {
        if (first->call(first->owner, event)) return true;
    }
    return false;
}

}  // namespace talvori::x11

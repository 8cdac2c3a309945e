#include "platform/desktop/EventTap.hpp"

namespace talvori {

void EventTap::invalidate() {
    valid_ = false;
    enabled_ = false;
    callback_ = nullptr;
}

void EventTap::deliver(const Event& event) {
    if (!enabled_ || !event.matches(mask_) || !callback_) return;
    // The callback may invalidate the tap, which drops the callback: keep it alive while it runs.
    auto callback = callback_;
    callback(event);
}

void EventTap::disable(EventType reason) {
    if (!valid_) return;
    enabled_ = false;
    Event event;
    event.type = reason;
    auto callback = callback_;
    if (callback) callback(event);
}

}  // namespace talvori

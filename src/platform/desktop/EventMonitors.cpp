#include "platform/desktop/EventMonitors.hpp"

namespace talvori {

Registration EventMonitors::addLocal(EventMask mask, Input::LocalMonitor monitor,
                                     std::function<void()> onRemove) {
    return local_.add({mask, std::move(monitor)}, std::move(onRemove));
}

Registration EventMonitors::addGlobal(EventMask mask, Input::GlobalMonitor monitor,
                                      std::function<void()> onRemove) {
    return global_.add({mask, std::move(monitor)}, std::move(onRemove));
}

std::optional<Event> EventMonitors::runLocal(Event event) const {
    std::optional<Event> passed = std::move(event);
    local_.forEach([&](const auto& entry) {
        if (passed->matches(entry->value.mask)) passed = entry->value.handler(*passed);
        return passed.has_value();
    });
    return passed;
}

void EventMonitors::runGlobal(const Event& event) const {
    global_.forEach([&](const auto& entry) {
        if (event.matches(entry->value.mask)) entry->value.handler(event);
    });
}

EventMask EventMonitors::globalMask() const {
    EventMask mask = 0;
    global_.forEach([&](const auto& entry) { mask |= entry->value.mask; });
    return mask;
}

}  // namespace talvori

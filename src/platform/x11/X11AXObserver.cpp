#include "platform/x11/X11AXObserver.hpp"

#include "platform/x11/X11Accessibility.hpp"

namespace talvori::x11 {

X11AXObserver::X11AXObserver(std::int32_t pid, Callback callback,
                             std::weak_ptr<X11Accessibility> owner)
    : pid_(pid), callback_(std::move(callback)), owner_(std::move(owner)) {}

AXError X11AXObserver::addNotification(const AXElement& element, const std::string& notification) {
    auto owner = owner_.lock();
    if (!owner) return AXError::invalidUIElementObserver;
    if (element.pid != pid_ || element.kind == AXElement::Kind::systemWide) {
        return AXError::illegalArgument;
    }
    if (element.kind == AXElement::Kind::window && !owner->watchWindow(element)) {
        return AXError::invalidUIElement;
    }
    if (!registrations_.insert({element, notification}).second) {
        return AXError::notificationAlreadyRegistered;
    }
    return AXError::success;
}

AXError X11AXObserver::removeNotification(const AXElement& element,
                                          const std::string& notification) {
    return registrations_.erase({element, notification}) > 0 ? AXError::success
                                                             : AXError::notificationNotRegistered;
}

bool X11AXObserver::wants(const AXElement& window, const std::string& notification) const {
    const AXElement application{AXElement::Kind::application, window.pid, 0};
    return registrations_.contains({window, notification}) ||
           registrations_.contains({application, notification});
}

std::set<AXElement> X11AXObserver::watchedWindows() const {
    std::set<AXElement> windows;
    for (const auto& [element, notification] : registrations_) {
        if (element.kind == AXElement::Kind::window) windows.insert(element);
    }
    return windows;
}

void X11AXObserver::deliver(const AXElement& window, const std::string& notification) {
    if (!started_ || !wants(window, notification) || !callback_) return;
    // The callback may drop the observer: keep what it runs alive.
    auto callback = callback_;
    callback(window, notification);
}

}  // namespace talvori::x11

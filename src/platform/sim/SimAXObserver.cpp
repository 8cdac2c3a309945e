#include "platform/sim/SimAXObserver.hpp"

#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

SimAXObserver::SimAXObserver(std::int32_t pid, Callback callback, std::weak_ptr<SimWorld> world)
    : pid_(pid), callback_(std::move(callback)), world_(std::move(world)) {}

AXError SimAXObserver::addNotification(const AXElement& element, const std::string& notification) {
    auto world = world_.lock();
    if (!world) return AXError::invalidUIElementObserver;
    if (!world->isAccessibilityTrusted()) return AXError::apiDisabled;
    if (element.pid != pid_ || element.kind == AXElement::Kind::systemWide) {
        return AXError::illegalArgument;
    }
    if (element.kind == AXElement::Kind::window && !world->window(element.identifier)) {
        return AXError::invalidUIElement;
    }
    if (!registrations_.insert({element, notification}).second) {
        return AXError::notificationAlreadyRegistered;
    }
    return AXError::success;
}

AXError SimAXObserver::removeNotification(const AXElement& element,
                                          const std::string& notification) {
    return registrations_.erase({element, notification}) > 0 ? AXError::success
                                                             : AXError::notificationNotRegistered;
}

bool SimAXObserver::wants(const AXElement& window, const std::string& notification) const {
    const AXElement application{AXElement::Kind::application, window.pid, 0};
    return registrations_.contains({window, notification}) ||
           registrations_.contains({application, notification});
}

void SimAXObserver::deliver(const AXElement& window, const std::string& notification) {
    if (!started_ || !wants(window, notification) || !callback_) return;
    auto callback = callback_;
    callback(window, notification);
}

}  // namespace talvori::sim

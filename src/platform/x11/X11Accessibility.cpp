#include "platform/x11/X11Accessibility.hpp"

#include <signal.h>

#include <algorithm>
#include <cerrno>

#include "platform/x11/X11AXObserver.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11Screens.hpp"

namespace talvori::x11 {

namespace {

bool processExists(std::int32_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

AXElement windowElement(std::int32_t pid, xcb_window_t window) {
    return {AXElement::Kind::window, pid, window};
}

}  // namespace

X11Accessibility::X11Accessibility(std::shared_ptr<X11Application> application)
    : application_(std::move(application)) {
    activeWindow_ = application_->clients().activeWindow();
}

// ---- Reads

AXResult<AXValue> X11Accessibility::copyAttributeValue(const AXElement& element,
                                                       std::string_view attribute) const {
    using Result = AXResult<AXValue>;
    if (application_->connection().isClosed()) return Result::failure(AXError::cannotComplete);
    switch (element.kind) {
        case AXElement::Kind::systemWide: {
            if (attribute != AXAttribute::focusedApplication) {
                return Result::failure(AXError::attributeUnsupported);
            }
            X11ClientWindows& clients = application_->clients();
            const std::int32_t pid = clients.pid(clients.activeWindow());
            if (pid <= 0) return Result::failure(AXError::noValue);
            return Result::success(applicationElement(pid));
        }
        case AXElement::Kind::application:
            return readApplication(element, attribute);
        case AXElement::Kind::window:
            return readWindow(element, attribute);
    }
    return Result::failure(AXError::illegalArgument);
}

std::vector<xcb_window_t> X11Accessibility::windowsOf(std::int32_t pid) const {
    X11ClientWindows& clients = application_->clients();
    const auto list = clients.stacked(clients.readClients(clients.clientList()));
    std::vector<xcb_window_t> windows;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (it->pid == pid && it->isOnScreen() && !it->isDesktop && !it->isDock) {
            windows.push_back(it->window);
        }
    }
    return windows;
}

AXResult<AXValue> X11Accessibility::readApplication(const AXElement& element,
                                                    std::string_view attribute) const {
    using Result = AXResult<AXValue>;
    if (!processExists(element.pid)) return Result::failure(AXError::invalidUIElement);
    X11ClientWindows& clients = application_->clients();
    if (attribute == AXAttribute::focusedWindow || attribute == AXAttribute::mainWindow) {
        const xcb_window_t active = clients.activeWindow();
        if (active != XCB_WINDOW_NONE && clients.pid(active) == element.pid) {
            return Result::success(windowElement(element.pid, active));
        }
        // Not in front: its topmost window is the one it would focus.
        const auto windows = windowsOf(element.pid);
        if (windows.empty()) return Result::failure(AXError::noValue);
        return Result::success(windowElement(element.pid, windows.front()));
    }
    if (attribute == AXAttribute::windows) {
        std::vector<AXElement> elements;
        for (const xcb_window_t window : windowsOf(element.pid)) {
            elements.push_back(windowElement(element.pid, window));
        }
        return Result::success(std::move(elements));
    }
    if (attribute == AXAttribute::title) {
        for (const xcb_window_t window : windowsOf(element.pid)) {
            const auto client = clients.readClient(window);
            if (client && !client->className.empty()) return Result::success(client->className);
        }
        return Result::failure(AXError::noValue);
    }
    return Result::failure(AXError::attributeUnsupported);
}

AXResult<AXValue> X11Accessibility::readWindow(const AXElement& element,
                                               std::string_view attribute) const {
    using Result = AXResult<AXValue>;
    const auto client =
        application_->clients().readClient(static_cast<xcb_window_t>(element.identifier));
    if (!client || client->pid != element.pid) return Result::failure(AXError::invalidUIElement);
    const Rect topLeft = application_->screens().space().toTopLeft(client->rect);
    if (attribute == AXAttribute::position) return Result::success(topLeft.origin);
    if (attribute == AXAttribute::size) return Result::success(topLeft.size);
    if (attribute == AXAttribute::title) return Result::success(client->title);
    return Result::failure(AXError::attributeUnsupported);
}

AXResult<std::int32_t> X11Accessibility::pid(const AXElement& element) const {
    using Result = AXResult<std::int32_t>;
    if (element.kind == AXElement::Kind::systemWide) {
        return Result::failure(AXError::illegalArgument);
    }
    if (!processExists(element.pid)) return Result::failure(AXError::invalidUIElement);
    return Result::success(element.pid);
}

AXResult<std::uint32_t> X11Accessibility::windowNumber(const AXElement& element) const {
    using Result = AXResult<std::uint32_t>;
    if (element.kind != AXElement::Kind::window || element.identifier == 0 ||
        element.identifier > 0xFFFFFFFF) {
        return Result::failure(AXError::illegalArgument);
    }
    const auto window = static_cast<xcb_window_t>(element.identifier);
    // A client whose details are kept exists: the events would have said otherwise.
    if (application_->clients().isKnown(window)) return Result::success(window);
    xcb_connection_t* raw = application_->connection().raw();
    auto attributes =
        waitReply(xcb_get_window_attributes_reply, raw, xcb_get_window_attributes(raw, window));
    if (!attributes) return Result::failure(AXError::invalidUIElement);
    return Result::success(window);
}

// ---- Observers

AXResult<std::shared_ptr<AXObserver>> X11Accessibility::createObserver(
    std::int32_t pid, AXObserver::Callback callback) {
    using Result = AXResult<std::shared_ptr<AXObserver>>;
    if (!processExists(pid)) return Result::failure(AXError::illegalArgument);
    auto observer = std::make_shared<X11AXObserver>(pid, std::move(callback), weak_from_this());
    std::erase_if(observers_, [](const auto& weak) { return weak.expired(); });
    observers_.push_back(observer);
    return Result::success(observer);
}

bool X11Accessibility::watchWindow(const AXElement& window) {
    const auto client = static_cast<xcb_window_t>(window.identifier);
    xcb_connection_t* raw = application_->connection().raw();
    // Its destruction reaches only those who listen on the window itself.
    if (!application_->clients().watch(client)) return false;
    const xcb_window_t frame = application_->clients().frameOf(client);
    if (frame == XCB_WINDOW_NONE) return false;
    auto geometry = waitReply(xcb_get_geometry_reply, raw, xcb_get_geometry(raw, frame));
    if (!geometry) return false;
    frameRects_[frame] = {geometry->x, geometry->y, geometry->width, geometry->height};
    return true;
}

std::vector<std::shared_ptr<X11AXObserver>> X11Accessibility::liveObservers() {
    std::erase_if(observers_, [](const auto& weak) { return weak.expired(); });
    std::vector<std::shared_ptr<X11AXObserver>> live;
    for (const auto& weak : observers_) {
        if (auto observer = weak.lock()) live.push_back(std::move(observer));
    }
    return live;
}

void X11Accessibility::deliver(std::int32_t pid, const AXElement& window,
                               const char* notification) {
    for (const auto& observer : liveObservers()) {
        if (observer->pid() == pid) observer->deliver(window, notification);
    }
}

void X11Accessibility::subscribe(X11EventRouter& router) {
    for (const std::uint8_t type : {XCB_CONFIGURE_NOTIFY, XCB_DESTROY_NOTIFY}) {
        router.on<&X11Accessibility::handleEvent>(type, *this);
    }
}

void X11Accessibility::handleEvent(const xcb_generic_event_t& event) {
    if (observers_.empty()) return;
    X11Connection& connection = application_->connection();
    switch (event.response_type & 0x7F) {
        case XCB_CONFIGURE_NOTIFY: {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.event == connection.root()) frameChanged(configure);
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto& destroy = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
            windowDestroyed(destroy.window);
            break;
        }
        default:
            break;
    }
}

void X11Accessibility::activeWindowChanged() {
    X11ClientWindows& clients = application_->clients();
    const xcb_window_t active = clients.activeWindow();
    if (active == activeWindow_ || active == XCB_WINDOW_NONE) {
        activeWindow_ = active;
        return;
    }
    activeWindow_ = active;
    if (observers_.empty()) return;
    const std::int32_t pid = clients.pid(active);
    if (pid <= 0) return;
    const AXElement window = windowElement(pid, active);
    deliver(pid, window, AXNotification::focusedWindowChanged);
    deliver(pid, window, AXNotification::mainWindowChanged);
}

void X11Accessibility::frameChanged(const xcb_configure_notify_event_t& configure) {
    const auto last = frameRects_.find(configure.window);
    if (last == frameRects_.end()) return;
    const RootRect now{configure.x, configure.y,
                       static_cast<std::uint32_t>(configure.width + 2 * configure.border_width),
                       static_cast<std::uint32_t>(configure.height + 2 * configure.border_width)};
    const bool moved = now.x != last->second.x || now.y != last->second.y;
    const bool resized = now.width != last->second.width || now.height != last->second.height;
    last->second = now;
    if (!moved && !resized) return;
    X11ClientWindows& clients = application_->clients();
    for (const auto& observer : liveObservers()) {
        for (const AXElement& window : observer->watchedWindows()) {
            if (clients.frameOf(static_cast<xcb_window_t>(window.identifier)) != configure.window) {
                continue;
            }
            if (moved) observer->deliver(window, AXNotification::moved);
            if (resized) observer->deliver(window, AXNotification::resized);
        }
    }
}

void X11Accessibility::windowDestroyed(xcb_window_t destroyed) {
    for (const auto& observer : liveObservers()) {
        for (const AXElement& window : observer->watchedWindows()) {
            const auto client = static_cast<xcb_window_t>(window.identifier);
            if (client == destroyed) {
                observer->deliver(window, AXNotification::elementDestroyed);
            }
        }
    }
    frameRects_.erase(destroyed);
}

}  // namespace talvori::x11

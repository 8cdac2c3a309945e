#include "platform/x11/X11Accessibility.hpp"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/core/weakly.hpp"
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
    // Watched already (its destruction would have ended that).
    if (frameRects_.contains(client)) return true;
    X11ClientWindows& clients = application_->clients();
    // A kept client is watched already; another's destruction reaches only those who listen on
    // the window itself.
    if (!clients.isKnown(client) && !clients.watch(client)) return false;
    const xcb_window_t frame = clients.frameOf(client);
    if (frame == XCB_WINDOW_NONE) return false;
    if (const auto kept = clients.readClient(client)) {
        frameRects_[client] = kept->rect;
    } else {
        frameRects_[client] = std::nullopt;
        fetchFrameRect(client, frame);
    }
    return true;
}

// A move seen before the answer comes is newer than the answer: it stays.
void X11Accessibility::fetchFrameRect(xcb_window_t client, xcb_window_t frame) {
    X11Connection& connection = application_->connection();
    connection.whenReplied<xcb_get_geometry_reply_t>(
        xcb_get_geometry(connection.raw(), frame),
        weakly(weak_from_this(),
               [client](X11Accessibility& self, Reply<xcb_get_geometry_reply_t> geometry) {
                   const auto last = self.frameRects_.find(client);
                   if (!geometry || last == self.frameRects_.end() || last->second) return;
                   last->second = RootRect{
                       geometry->x, geometry->y,
                       static_cast<std::uint32_t>(geometry->width + 2 * geometry->border_width),
                       static_cast<std::uint32_t>(geometry->height + 2 * geometry->border_width)};
               }));
}

bool X11Accessibility::isObserving() const {
    return std::any_of(observers_.begin(), observers_.end(),
                       [](const auto& weak) { return !weak.expired(); });
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
    router.on<&X11Accessibility::configureNotified>(XCB_CONFIGURE_NOTIFY, *this);
    router.on<&X11Accessibility::destroyNotified>(XCB_DESTROY_NOTIFY, *this);
}

void X11Accessibility::configureNotified(const xcb_configure_notify_event_t& configure) {
    if (!observers_.empty() && configure.event == application_->connection().root()) {
        frameChanged(configure);
    }
}

void X11Accessibility::destroyNotified(const xcb_destroy_notify_event_t& destroy) {
    windowDestroyed(destroy.window);
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
    X11ClientWindows& clients = application_->clients();
    struct Change {
        xcb_window_t client;
        bool moved;
        bool resized;
    };
    std::vector<Change> changes;
    for (auto& [client, last] : frameRects_) {
        if (clients.frameOf(client) != configure.window) continue;
        // Measured as the client windows keep it (less a client-side shadow) where they do.
        const auto kept = clients.readClient(client);
        const RootRect now =
            kept ? kept->rect
                 : RootRect{
                       configure.x, configure.y,
                       static_cast<std::uint32_t>(configure.width + 2 * configure.border_width),
                       static_cast<std::uint32_t>(configure.height + 2 * configure.border_width)};
        const auto before = std::exchange(last, now);
        if (!before) continue;
        const bool moved = now.x != before->x || now.y != before->y;
        const bool resized = now.width != before->width || now.height != before->height;
        if (moved || resized) changes.push_back({client, moved, resized});
    }
    for (const Change& change : changes) {
        for (const auto& observer : liveObservers()) {
            for (const AXElement& window : observer->watchedWindows()) {
                if (window.identifier != change.client) continue;
                if (change.moved) observer->deliver(window, AXNotification::moved);
                if (change.resized) observer->deliver(window, AXNotification::resized);
            }
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

#include "platform/x11/X11Screens.hpp"

#include <xcb/randr.h>

#include <algorithm>

#include "platform/core/Logger.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11DisplayScale.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

X11Screens::X11Screens(std::shared_ptr<X11Connection> connection, std::weak_ptr<RunLoop> loop,
                       NotificationCenter& center, const Logger& log)
    : connection_(std::move(connection)), loop_(std::move(loop)), center_(center) {
    const xcb_screen_t& screen = connection_->screen();
    rootWidth_ = screen.width_in_pixels;
    rootHeight_ = screen.height_in_pixels;
    // Windows open on the primary monitor: at the scale chosen, they must fit it.
    const RootRect primary = readMonitors().front().rect;
    const int asked = X11DisplayScale::asked(connection_);
    const int fitting = X11DisplayScale::fitting(asked, primary.width, primary.height);
    if (fitting < asked) {
        log.log(
            "The screen asks for %{public}d× size, but Talvori's windows would not fit its "
            "%{public}u x %{public}u pixels: it draws at %{public}d×",
            asked, primary.width, primary.height, fitting);
    }
    scale_ = fitting;
    reload();
}

void X11Screens::startWatching() {
    if (!connection_->hasRandr()) return;
    xcb_randr_select_input(connection_->raw(), connection_->root(),
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
}

std::vector<X11Screens::Monitor> X11Screens::readMonitors() const {
    std::vector<Monitor> monitors;
    xcb_connection_t* raw = connection_->raw();
    if (connection_->hasRandr()) {
        auto reply = waitReply(xcb_randr_get_monitors_reply, raw,
                               xcb_randr_get_monitors(raw, connection_->root(), 1));
        if (reply) {
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
                 xcb_randr_monitor_info_next(&it)) {
                const auto* info = it.data;
                Monitor monitor{info->name, {info->x, info->y, info->width, info->height}};
                // The primary monitor is the first screen, the origin of the global space.
                if (info->primary) {
                    monitors.insert(monitors.begin(), monitor);
                } else {
                    monitors.push_back(monitor);
                }
            }
        }
    }
    // Without an output showing it, the screen is the root as large as it now is.
    if (monitors.empty()) monitors.push_back({1, {0, 0, rootWidth_, rootHeight_}});
    return monitors;
}

// The window manager's work area of the current desktop: one rectangle for all monitors.
std::optional<RootRect> X11Screens::readWorkArea() const {
    xcb_connection_t* raw = connection_->raw();
    const auto desktopCookie =
        requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_CURRENT_DESKTOP));
    const auto areaCookie =
        requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_WORKAREA));
    const auto desktop = propertyReply(raw, desktopCookie);
    const auto area = propertyReply(raw, areaCookie);
    if (!area) return std::nullopt;
    const auto values = area->cardinals();
    const std::size_t index = desktop ? desktop->cardinal().value_or(0) : 0;
    if (values.size() < (index + 1) * 4) return std::nullopt;
    const std::uint32_t* rect = &values[index * 4];
    return RootRect{static_cast<std::int32_t>(rect[0]), static_cast<std::int32_t>(rect[1]), rect[2],
                    rect[3]};
}

void X11Screens::reload() {
    const auto monitors = readMonitors();
    const auto workArea = readWorkArea();
    const RootRect& first = monitors.front().rect;
    space_ = {static_cast<double>(first.x), static_cast<double>(first.y),
              static_cast<double>(first.height), scale_};
    std::vector<Screen> screens;
    for (const Monitor& monitor : monitors) {
        const Rect frame = space_.toGlobal(monitor.rect);
        Rect visible = frame;
        if (workArea) {
            const Rect area = space_.toGlobal(*workArea);
            if (frame.intersects(area)) visible = frame.intersection(area);
        }
        screens.push_back({monitor.identifier, frame, visible});
    }
    if (screens == screens_) return;
    const bool first_load = screens_.empty();
    screens_ = std::move(screens);
    if (first_load) return;
    if (auto loop = loop_.lock()) {
        loop->post(weakly(weak_from_this(), [](X11Screens& self) {
            self.center_.post(Screens::kDidChangeParametersNotification, nullptr);
        }));
    }
}

void X11Screens::subscribe(X11EventRouter& router) {
    if (connection_->hasRandr()) {
        for (const std::uint8_t type : {XCB_RANDR_SCREEN_CHANGE_NOTIFY, XCB_RANDR_NOTIFY}) {
            router.on<&X11Screens::randrNotified>(connection_->randrFirstEvent() + type, *this);
        }
    }
    router.on<&X11Screens::configureNotified>(XCB_CONFIGURE_NOTIFY, *this);
    for (const Atom name : {Atom::_NET_WORKAREA, Atom::_NET_CURRENT_DESKTOP}) {
        router.onProperty<&X11Screens::propertyChanged>(connection_->atom(name), *this);
    }
}

void X11Screens::randrNotified(const xcb_generic_event_t&) {
    reload();
}

// The root's own size follows the screen's, whoever changed it: the connection's setup only
// tells the size it had when we connected.
void X11Screens::configureNotified(const xcb_configure_notify_event_t& configure) {
    if (configure.window != connection_->root()) return;
    rootWidth_ = configure.width;
    rootHeight_ = configure.height;
    reload();
}

void X11Screens::propertyChanged(const xcb_property_notify_event_t& notify) {
    if (notify.window == connection_->root()) reload();
}

std::optional<Screen> X11Screens::mainScreen() const {
    if (focusedWindowFrame_) {
        if (const auto frame = focusedWindowFrame_()) {
            if (auto screen = screenFor(*frame)) return screen;
        }
    }
    if (screens_.empty()) return std::nullopt;
    return screens_.front();
}

}  // namespace talvori::x11

#include "platform/x11/X11StatusBar.hpp"

#include <xcb/xfixes.h>

#include <cstdlib>

#include "platform/core/weakly.hpp"
#include "platform/freedesktop/StatusIcon.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11StatusItem.hpp"
#include "platform/x11/X11TrayIcon.hpp"
#include "platform/x11/X11XSettings.hpp"

namespace talvori::x11 {

X11StatusBar::X11StatusBar(std::shared_ptr<X11Connection> connection,
                           std::shared_ptr<X11Screens> screens,
                           std::shared_ptr<freedesktop::SessionBus> bus, Logger log)
    : connection_(std::move(connection)),
      screens_(std::move(screens)),
      bus_(std::move(bus)),
      settings_(std::make_shared<X11XSettings>(connection_)),
      log_(std::move(log)) {}

X11StatusBar::~X11StatusBar() = default;

std::shared_ptr<StatusItem> X11StatusBar::makeStatusItem(double) {
    // Hosts size the icon themselves: the length asked for has no meaning here.
    std::weak_ptr<X11XSettings> settings = settings_;
    auto themeTint = [settings] {
        const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
        return freedesktop::StatusIcon::tintForTheme(desktop ? desktop : "",
                                                     withOwner(settings, [](X11XSettings& strong) {
                                                         return strong.string("Net/ThemeName");
                                                     }).value_or(std::nullopt));
    };
    auto item = X11StatusItem::make({connection_, screens_, bus_, themeTint, log_}, ++made_);
    std::erase_if(items_, [](const auto& weak) { return weak.expired(); });
    items_.push_back(item);
    return item;
}

std::vector<std::shared_ptr<X11StatusItem>> X11StatusBar::liveItems() const {
    std::vector<std::shared_ptr<X11StatusItem>> live;
    for (const auto& weak : items_) {
        if (auto item = weak.lock()) live.push_back(std::move(item));
    }
    return live;
}

template <auto Method, class Event>
void X11StatusBar::toTrayIcons(const Event& event) {
    for (const auto& item : liveItems()) (item->trayIcon().*Method)(event);
}

void X11StatusBar::subscribe(X11EventRouter& router) {
    router.on<
        &X11StatusBar::toTrayIcons<&X11TrayIcon::reparentNotified, xcb_reparent_notify_event_t>>(
        XCB_REPARENT_NOTIFY, *this);
    router.on<&X11StatusBar::toTrayIcons<&X11TrayIcon::mapped, xcb_map_notify_event_t>>(
        XCB_MAP_NOTIFY, *this);
    router.on<&X11StatusBar::toTrayIcons<&X11TrayIcon::unmapped, xcb_unmap_notify_event_t>>(
        XCB_UNMAP_NOTIFY, *this);
    router.on<
        &X11StatusBar::toTrayIcons<&X11TrayIcon::configureNotified, xcb_configure_notify_event_t>>(
        XCB_CONFIGURE_NOTIFY, *this);
    router.on<&X11StatusBar::toTrayIcons<&X11TrayIcon::exposed, xcb_expose_event_t>>(XCB_EXPOSE,
                                                                                     *this);
    router.on<&X11StatusBar::toTrayIcons<&X11TrayIcon::buttonPressed, xcb_button_press_event_t>>(
        XCB_BUTTON_PRESS, *this);
    // A docked icon follows the colours its tray asks for.
    router.onProperty<
        &X11StatusBar::toTrayIcons<&X11TrayIcon::trayColorsChanged, xcb_property_notify_event_t>>(
        connection_->atom(Atom::_NET_SYSTEM_TRAY_COLORS), *this);
    if (connection_->hasXfixes()) {
        router.on<&X11StatusBar::toTrayIcons<&X11TrayIcon::selectionOwnerChanged,
                                             xcb_xfixes_selection_notify_event_t>>(
            connection_->xfixesFirstEvent() + XCB_XFIXES_SELECTION_NOTIFY, *this);
    }
}

bool X11StatusBar::claimsPointer(std::int16_t x, std::int16_t y) const {
    for (const auto& item : liveItems()) {
        if (item->claimsPointer(x, y)) return true;
    }
    return false;
}

}  // namespace talvori::x11

#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/desktop/StatusBar.hpp"

namespace talvori::freedesktop {
class SessionBus;
}  // namespace talvori::freedesktop

namespace talvori::x11 {

class X11EventRouter;

class X11Connection;
class X11Screens;
class X11StatusItem;
class X11XSettings;

// The desktop's status area: each item offers itself to the desktop's D-Bus watcher and falls back
// to the system tray (see X11StatusItem).
class X11StatusBar final : public StatusBar {
  public:
    // `bus` may be null (no session bus: trays only).
    X11StatusBar(std::shared_ptr<X11Connection> connection, std::shared_ptr<X11Screens> screens,
                 std::shared_ptr<freedesktop::SessionBus> bus, Logger log);
    ~X11StatusBar() override;

    std::shared_ptr<StatusItem> makeStatusItem(double length) override;

    // What the items' tray icons follow.
    void subscribe(X11EventRouter& router);
    // Whether a press at root `x`, `y` is on one of our items.
    bool claimsPointer(std::int16_t x, std::int16_t y) const;

  private:
    std::vector<std::shared_ptr<X11StatusItem>> liveItems() const;
    // Hands `event` to every live item's tray icon: the items come and go, the subscription stays.
    template <auto Method, class Event>
    void toTrayIcons(const Event& event);

    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<X11Screens> screens_;
    std::shared_ptr<freedesktop::SessionBus> bus_;
    std::shared_ptr<X11XSettings> settings_;
    Logger log_;
    int made_ = 0;
    mutable std::vector<std::weak_ptr<X11StatusItem>> items_;
};

}  // namespace talvori::x11

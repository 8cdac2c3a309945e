#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/desktop/Color.hpp"
#include "platform/desktop/StatusItem.hpp"
#include "platform/x11/X11RootSpace.hpp"

namespace talvori::freedesktop {
class SessionBus;
class StatusNotifierItem;
}  // namespace talvori::freedesktop

namespace talvori::x11 {

class X11Connection;
class X11Screens;
class X11TrayIcon;

// A status item and its button on X11. Desktops host such items in one of two ways: over D-Bus
// (the status notifier protocol; the host draws our pixels and tells us of clicks, but never where
// the item is) or as a window of ours in a system tray (XEmbed). The item offers itself to a D-Bus
// watcher first and docks in a tray while no watcher shows it, or while the bus is gone. With
// neither it is not visible.
class X11StatusItem final : public StatusItem,
                            public StatusBarButton,
                            public std::enable_shared_from_this<X11StatusItem> {
  public:
    struct Services {
        std::shared_ptr<X11Connection> connection;
        std::shared_ptr<X11Screens> screens;
        // Null without a session bus.
        std::shared_ptr<freedesktop::SessionBus> bus;
        // The tint of template images on panels we cannot see.
        std::function<Color()> themeTint;
        Logger log;
    };

    static std::shared_ptr<X11StatusItem> make(Services services, int number);
    ~X11StatusItem() override;

    // ---- StatusItem
    bool isVisible() const override;
    StatusBarButton* button() override { return this; }

    // ---- StatusBarButton
    void setImage(std::optional<Image> image) override;
    const std::optional<Image>& image() const override { return image_; }
    void setAccessibilityLabel(std::string label) override;
    const std::string& accessibilityLabel() const override { return label_; }
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    bool isHidden() const override { return false; }
    bool hasHiddenAncestor() const override { return false; }
    bool visibleRectIsEmpty() const override { return !isWindowVisible(); }
    // In a tray: where the tray shows the icon. Over D-Bus: a small square around the point of
    // the latest click, the only place the host ever tells.
    Rect frameOnScreen() const override;
    // In a tray: the icon's window. Over D-Bus, once clicked: a window of ours that stands for
    // the host's, never shown, so that the item has a place to open things under.
    std::uint32_t windowNumber() const override;
    bool isWindowVisible() const override;
    std::optional<Screen> screen() const override;

    // ---- For the status bar
    // The icon in the system tray, which hears the events the bar routes to it.
    X11TrayIcon& trayIcon() const { return *tray_; }
    // Whether a press at root `x`, `y` is on the item: the press belongs to the item's click,
    // not to the rest of the desktop.
    bool claimsPointer(std::int16_t x, std::int16_t y) const;

    // How long the tray waits for the watcher's first answer before it takes the item: a bus
    // that does not answer (its daemon stopped) would leave the item nowhere.
    static constexpr double kWatcherWaitSeconds = 0.5;

  private:
    explicit X11StatusItem(Services services);
    void start(int number);
    void offerOverBus();
    void chooseHost();
    void waitedForWatcher();
    void activated(int x, int y);
    void clicked();
    void publishIcons();
    std::string iconThemePath();
    bool isShownOverBus() const;
    std::optional<RootRect> rootFrame() const;

    Services services_;
    int number_ = 0;
    Registration busConnection_;
    std::shared_ptr<freedesktop::StatusNotifierItem> notifier_;
    TimerSlot watcherWait_;
    bool waitedForWatcher_ = false;
    std::shared_ptr<X11TrayIcon> tray_;
    std::optional<Image> image_;
    // Found or written when a host first asks for it.
    std::optional<std::string> iconThemePath_;
    std::string label_;
    std::function<void()> action_;
    // Root coordinates of the latest click the D-Bus host reported.
    std::optional<RootRect> activation_;
    xcb_window_t standIn_ = XCB_WINDOW_NONE;
};

}  // namespace talvori::x11

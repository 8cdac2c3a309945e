#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/desktop/Color.hpp"
#include "platform/desktop/Image.hpp"
#include "platform/x11/X11RootSpace.hpp"

struct xcb_xfixes_selection_notify_event_t;

namespace talvori::x11 {

class X11Connection;

// Our icon in a system tray that embeds other programs' windows (the XEmbed tray): a small window
// of ours that the tray takes in as a child, painted with the status image over the tray's own
// background, clicked like any window. It docks whenever a tray is there and asked to, and again
// when a tray (re)starts. A tray that has not shown the icon a moment after the request refused
// it: the window goes, and that tray is not asked again.
class X11TrayIcon : public std::enable_shared_from_this<X11TrayIcon> {
  public:
    struct Handlers {
        std::function<void()> click;
        // Docked or undocked.
        std::function<void()> visibilityChanged;
        // The tint for a tray that lets its background show through (we cannot see it).
        std::function<Color()> themeTint;
    };

    X11TrayIcon(std::shared_ptr<X11Connection> connection, Handlers handlers, Logger log);
    ~X11TrayIcon();
    X11TrayIcon(const X11TrayIcon&) = delete;
    X11TrayIcon& operator=(const X11TrayIcon&) = delete;

    // Docks in the tray now or as soon as one appears; false undocks and waits.
    void setWanted(bool wanted);
    // Docked in a tray and shown there.
    bool isVisible() const { return docked_ && mapped_; }
    xcb_window_t window() const { return window_; }
    // Where the tray shows the icon.
    std::optional<RootRect> rootRect() const;

    void setImage(const std::optional<Image>& image);
    void setLabel(const std::string& label);
    // What the status bar hears for its icons.
    void selectionOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify);
    void trayColorsChanged(const xcb_property_notify_event_t& property);
    void reparentNotified(const xcb_reparent_notify_event_t& reparent);
    void mapped(const xcb_map_notify_event_t& map);
    void unmapped(const xcb_unmap_notify_event_t& unmap);
    void configureNotified(const xcb_configure_notify_event_t& configure);
    void exposed(const xcb_expose_event_t& expose);
    void buttonPressed(const xcb_button_press_event_t& press);

  private:
    enum Name : std::size_t { kSelection, kOpcode, kVisual, kColors, kXembedInfo, kNameCount };

    void internAtoms();
    xcb_window_t trayOwner() const;
    void dock(xcb_window_t tray);
    void watchTray(xcb_get_window_attributes_cookie_t asked);
    void undock();
    void checkTaken(unsigned request);
    void refused();
    bool isShownIn(xcb_window_t parent) const;
    bool isOpaqueSlot(xcb_window_t slot) const;
    std::optional<std::uint32_t> pixelAround() const;
    xcb_visualid_t trayVisual(xcb_get_property_cookie_t asked) const;
    std::optional<Color> trayForeground() const;
    void setProperties();
    void paint();
    Color tint();
    std::optional<Color> tintFromBackground();
    void drawInto(xcb_drawable_t drawable, const Color& tint);
    void setDocked(bool docked, bool mapped);

    std::shared_ptr<X11Connection> connection_;
    Handlers handlers_;
    Logger log_;
    xcb_atom_t atoms_[kNameCount] = {};
    bool wanted_ = false;
    xcb_window_t tray_ = XCB_WINDOW_NONE;
    // The tray that did not take the icon: asked again only once another tray replaces it.
    xcb_window_t refusingTray_ = XCB_WINDOW_NONE;
    // Counts dock requests, so that a late check of one asked before does nothing.
    unsigned requests_ = 0;
    // The colour the tray asks icons to draw in (_NET_SYSTEM_TRAY_COLORS).
    std::optional<Color> trayForeground_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_visualid_t visual_ = 0;
    bool translucent_ = false;
    // Docked in a slot that does not show the tray's background: painted in the colour around.
    bool opaqueSlot_ = false;
    bool docked_ = false;
    bool mapped_ = false;
    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    std::optional<Image> image_;
    std::string label_ = "Talvori";
};

}  // namespace talvori::x11

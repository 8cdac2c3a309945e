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

namespace talvori::x11 {

class X11Connection;

// Our icon in a system tray that embeds other programs' windows (the XEmbed tray): a small window
// of ours that the tray takes in as a child, painted with the status image over the tray's own
// background, clicked like any window. It docks whenever a tray is there and asked to, and again
// when a tray (re)starts.
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
    void handleEvent(const xcb_generic_event_t& event);

  private:
    enum Name : std::size_t { kSelection, kOpcode, kVisual, kXembedInfo, kNameCount };

    void internAtoms();
    xcb_window_t trayOwner() const;
    void dock(xcb_window_t tray);
    void undock();
    xcb_visualid_t trayVisual(xcb_window_t tray) const;
    void setProperties();
    void paint();
    void setDocked(bool docked, bool mapped);

    std::shared_ptr<X11Connection> connection_;
    Handlers handlers_;
    Logger log_;
    xcb_atom_t atoms_[kNameCount] = {};
    bool wanted_ = false;
    xcb_window_t tray_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_visualid_t visual_ = 0;
    bool translucent_ = false;
    bool docked_ = false;
    bool mapped_ = false;
    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    std::optional<Image> image_;
    std::string label_ = "Talvori";
};

}  // namespace talvori::x11

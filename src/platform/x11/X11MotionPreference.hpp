#pragma once

#include <systemd/sd-bus.h>
#include <xcb/xcb.h>

#include <memory>
#include <optional>

#include "platform/core/Observation.hpp"

namespace talvori::freedesktop {
class SessionBus;
}  // namespace talvori::freedesktop

namespace talvori::x11 {

class X11EventRouter;

class X11Connection;
class X11XSettings;

// The user's wish for less motion. Desktops keep it as "animations enabled": their settings
// daemon publishes it over XSETTINGS; without one, GNOME's stored setting (enable-animations)
// answers through the desktop's settings portal, followed as it changes (and forgotten while the
// session bus is gone); without either,
// animations stay on. The portal is only asked when it already runs: we never start it.
class X11MotionPreference : public std::enable_shared_from_this<X11MotionPreference> {
  public:
    // `bus` may be null (no session bus: XSETTINGS alone).
    static std::shared_ptr<X11MotionPreference> make(std::shared_ptr<X11Connection> connection,
                                                     std::shared_ptr<freedesktop::SessionBus> bus);
    ~X11MotionPreference();
    X11MotionPreference(const X11MotionPreference&) = delete;
    X11MotionPreference& operator=(const X11MotionPreference&) = delete;

    // The settings daemon's table or the stored setting, both as last heard: asking costs no
    // request.
    bool reducesMotion() const;
    void subscribe(X11EventRouter& router);

  private:
    struct SlotDeleter {
        void operator()(sd_bus_slot* slot) const;
    };
    using Slot = std::unique_ptr<sd_bus_slot, SlotDeleter>;

    X11MotionPreference(std::shared_ptr<X11Connection> connection,
                        std::shared_ptr<freedesktop::SessionBus> bus);
    void busChanged();
    void follow();
    void read();
    static int onPortalOwner(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onRead(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    // The animations' setting from a portal value (a boolean, possibly wrapped in variants).
    static std::optional<bool> animations(sd_bus_message* message);

    std::shared_ptr<X11XSettings> settings_;
    std::shared_ptr<freedesktop::SessionBus> bus_;
    std::optional<bool> storedAnimations_;
    Registration busConnection_;
    Slot read_;
    Slot changes_;
    Slot owner_;
};

}  // namespace talvori::x11

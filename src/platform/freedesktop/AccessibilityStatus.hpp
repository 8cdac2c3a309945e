#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <memory>

#include "platform/core/Observation.hpp"
#include "platform/freedesktop/BusSlot.hpp"

namespace talvori::freedesktop {

class SessionBus;

// Whether the desktop's assistive technologies read the screen, as the accessibility bus's status
// on the session bus says: IsEnabled when an assistive client wants applications to publish what
// they show, ScreenReaderEnabled while a screen reader runs. Followed as it changes, also when the
// service starts after us or restarts; asking never starts it. Without a session bus, or while it
// is gone, both read false.
class AccessibilityStatus : public std::enable_shared_from_this<AccessibilityStatus> {
  public:
    // `bus` may be null.
    static std::shared_ptr<AccessibilityStatus> make(std::shared_ptr<SessionBus> bus);
    AccessibilityStatus(const AccessibilityStatus&) = delete;
    AccessibilityStatus& operator=(const AccessibilityStatus&) = delete;

    bool isEnabled() const { return enabled_; }
    bool isScreenReaderEnabled() const { return screenReader_; }
    // Whether anyone reads: an assistive client or a screen reader.
    bool isReading() const { return enabled_ || screenReader_; }
    // Called after either value changed.
    Registration observe(std::function<void()> onChange) const;
    const std::shared_ptr<SessionBus>& sessionBus() const { return bus_; }

  private:
    explicit AccessibilityStatus(std::shared_ptr<SessionBus> bus);
    void busChanged();
    void follow();
    void askForState();
    void update(bool enabled, bool screenReader);

    static int onState(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onChanged(sd_bus_message* message, void* self, sd_bus_error* error);

    std::shared_ptr<SessionBus> bus_;
    bool enabled_ = false;
    bool screenReader_ = false;
    ObservationSubject changes_;
    Registration busConnection_;
    BusSlot query_;
    BusSlot propertiesMatch_;
    BusSlot ownerMatch_;
};

}  // namespace talvori::freedesktop

#pragma once

#include <systemd/sd-bus.h>

#include <memory>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/desktop/Announcer.hpp"

namespace talvori::x11 {

class X11SessionBus;

// Announcements spoken through the speech service the desktop's screen readers speak through,
// and only while the desktop says a screen reader runs: a user who does not use one never hears
// a word. The screen reader's state comes from the accessibility bus's status on the session bus,
// followed as it changes; while the session bus is gone nothing is said.
class X11Announcer final : public Announcer, public std::enable_shared_from_this<X11Announcer> {
  public:
    // `bus` may be null (no session bus: nothing is ever said).
    static std::shared_ptr<X11Announcer> make(std::shared_ptr<X11SessionBus> bus, Logger log);
    ~X11Announcer() override;
    X11Announcer(const X11Announcer&) = delete;
    X11Announcer& operator=(const X11Announcer&) = delete;

    void announce(const std::string& text, int priority) override;
    bool isScreenReaderRunning() const { return screenReader_; }

  private:
    struct SlotDeleter {
        void operator()(sd_bus_slot* slot) const;
    };
    using Slot = std::unique_ptr<sd_bus_slot, SlotDeleter>;

    enum class Outcome { spoken, unreachable, closed, stuck };

    X11Announcer(std::shared_ptr<X11SessionBus> bus, Logger log);
    void busChanged();
    void follow();
    void askForState();
    Outcome speak(const std::string& text, int priority);
    void hangUp();

    static int onState(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onChanged(sd_bus_message* message, void* self, sd_bus_error* error);

    std::shared_ptr<X11SessionBus> bus_;
    Logger log_;
    bool screenReader_ = false;
    bool failureNoted_ = false;
    bool stuck_ = false;
    // The speech service's connection (its type cannot be declared ahead of its header).
    void* speech_ = nullptr;
    ObservationToken busConnection_;
    Slot query_;
    Slot changes_;
    Slot owner_;
};

}  // namespace talvori::x11

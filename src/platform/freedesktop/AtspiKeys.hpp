#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <list>
#include <string>

#include "platform/freedesktop/BusSlot.hpp"

namespace talvori::freedesktop {

// Gives the keys typed into our windows to the screen readers first, as toolkits do: a reader
// takes its own commands (its modifier with a letter) before the program sees them and says the
// keys typed. The program has a key once the registry answered that no reader took it, or did
// not answer in time; keys reach the program in the order they were typed.
class AtspiKeys {
  public:
    struct Keystroke {
        bool down = true;
        std::uint32_t symbol = 0;
        // The symbol's name as the keyboard names it ("Tab", "Insert").
        std::string symbolName;
        std::uint8_t code = 0;
        std::uint16_t state = 0;
        std::uint32_t time = 0;
        // What the key types, empty for a key that types nothing.
        std::string text;
    };
    using Deliver = std::function<void()>;

    AtspiKeys() = default;
    ~AtspiKeys() = default;
    AtspiKeys(const AtspiKeys&) = delete;
    AtspiKeys& operator=(const AtspiKeys&) = delete;

    // Readers on `bus` have the keys from now on.
    void attach(sd_bus* bus) { bus_ = bus; }
    bool isAttached() const { return bus_ != nullptr; }
    // Readers are gone: the keys still waiting for them go to the program.
    void release();
    // Waiting keys are dropped unseen (their receiver is going away).
    void forget();
    // Holds `key` for the readers and runs `deliver` when the program is to have it; false when
    // no reader is there, and the caller delivers it itself.
    bool offer(const Keystroke& key, Deliver deliver);

  private:
    struct Held {
        AtspiKeys* owner = nullptr;
        Deliver deliver;
        BusSlot call;
        bool answered = false;
        bool taken = false;
    };

    static int onAnswer(sd_bus_message* message, void* held, sd_bus_error* error);
    void deliverAnswered();

    sd_bus* bus_ = nullptr;
    std::list<Held> held_;
};

}  // namespace talvori::freedesktop

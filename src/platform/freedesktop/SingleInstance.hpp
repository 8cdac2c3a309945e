#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"

typedef struct sd_bus_slot sd_bus_slot;

namespace talvori {
class RunLoop;
class SignalWatch;
}  // namespace talvori

namespace talvori::freedesktop {

class SessionBus;

// Keeps Talvori to one process per user session, as desktop applications do: the first start owns
// the name org.talvori.Talvori on the session bus and answers the desktop's
// org.freedesktop.Application.Activate there; a later start calls it and ends. Without a session
// bus, the first start holds a lock file in $XDG_RUNTIME_DIR that names its process, and a later
// start asks that process to show itself with SIGUSR1. A bus that goes away and comes back is
// asked for the name again.
class SingleInstance : public std::enable_shared_from_this<SingleInstance> {
  public:
    static constexpr const char* kBusName = "org.talvori.Talvori";
    static constexpr const char* kObjectPath = "/org/talvori/Talvori";
    static constexpr const char* kInterface = "org.freedesktop.Application";
    static constexpr const char* kLockName = "org.talvori.Talvori.lock";

    struct Claim {
        // Held while this process is the session's Talvori; null when another one is.
        std::shared_ptr<SingleInstance> instance;
        // When another one is: what the hand-over did, for the person who started this one.
        std::string handedOver;
    };

    // `onActivate` runs on `loop` each time a later start hands over to this process. `bus` may be
    // null (no session bus).
    static Claim claim(const std::shared_ptr<SessionBus>& bus, RunLoop& loop,
                       std::function<void()> onActivate, const Logger& log);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // What a later start asks for.
    void activated();

  private:
    explicit SingleInstance(std::function<void()> onActivate);
    static Claim claimName(const std::shared_ptr<SessionBus>& bus, std::function<void()> onActivate,
                           const Logger& log);
    static Claim claimLock(RunLoop& loop, std::function<void()> onActivate, const Logger& log);
    static std::string activateOwner(SessionBus& bus);
    // Publishes the object and asks for the name (at once, or answered later): what the bus said.
    int publish(bool wait);
    void busChanged();

    std::function<void()> onActivate_;
    std::shared_ptr<SessionBus> bus_;
    Registration busConnection_;
    sd_bus_slot* object_ = nullptr;
    bool ownsName_ = false;
    int lock_ = -1;
    std::unique_ptr<SignalWatch> signals_;
};

}  // namespace talvori::freedesktop

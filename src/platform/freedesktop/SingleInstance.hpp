#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"

namespace talvori {
class RunLoop;
class SignalWatch;
}  // namespace talvori

namespace talvori::freedesktop {

class SessionBus;

// Keeps Talvori to one process per user session, as desktop applications do: the first start owns
// the name org.talvori.Talvori on the session bus and answers the desktop's
// org.freedesktop.Application.Activate there; a later start calls it and ends. A bus that has not
// answered within kClaimSeconds is not waited for: this start runs as the only one. Without a
// session bus, the first start holds a lock file in $XDG_RUNTIME_DIR that names its process, and
// a later start asks that process to show itself with SIGUSR1. A bus that goes away and comes
// back is asked for the name again.
class SingleInstance : public std::enable_shared_from_this<SingleInstance> {
  public:
    static constexpr const char* kBusName = "org.talvori.Talvori";
    static constexpr const char* kObjectPath = "/org/talvori/Talvori";
    static constexpr const char* kInterface = "org.freedesktop.Application";
    static constexpr const char* kLockName = "org.talvori.Talvori.lock";
    static constexpr double kClaimSeconds = 1.0;

    struct Claim {
        // Held while this process is the session's Talvori; null when another one is.
        std::shared_ptr<SingleInstance> instance;
        // When another one is: what the hand-over did, for the person who started this one.
        std::string handedOver;
    };

    // `onActivate` runs on `loop` each time a later start hands over to this process. `bus` may be
    // null (no session bus). Runs `loop` while it waits for the bus, until its answer, the
    // deadline or `quitting()`.
    static Claim claim(const std::shared_ptr<SessionBus>& bus, RunLoop& loop,
                       std::function<void()> onActivate, const std::function<bool()>& quitting,
                       const Logger& log);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // What a later start asks for.
    void activated();

  private:
    SingleInstance(std::function<void()> onActivate, Logger log);
    static Claim claimName(const std::shared_ptr<SessionBus>& bus, RunLoop& loop,
                           std::function<void()> onActivate, const std::function<bool()>& quitting,
                           const Logger& log);
    static Claim claimLock(RunLoop& loop, std::function<void()> onActivate, const Logger& log);
    static std::string activateOwner(SessionBus& bus);
    // Publishes the object and asks for the name; the answer comes to nameAnswered().
    int publish();
    // The bus's answer (none when it did not come in time), running `loop` until then.
    std::optional<int> awaitName(RunLoop& loop, const std::function<bool()>& quitting);
    static int onNameReply(sd_bus_message* reply, void* self, sd_bus_error*);
    void nameAnswered(int result);
    void busChanged();

    std::function<void()> onActivate_;
    Logger log_;
    std::shared_ptr<SessionBus> bus_;
    Registration busConnection_;
    sd_bus_slot* object_ = nullptr;
    sd_bus_slot* nameRequest_ = nullptr;
    // While the start waits for the bus: what it answered.
    bool claiming_ = false;
    std::optional<int> claimAnswer_;
    bool ownsName_ = false;
    int lock_ = -1;
    std::unique_ptr<SignalWatch> signals_;
};

}  // namespace talvori::freedesktop

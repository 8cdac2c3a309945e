#pragma once

#include <memory>
#include <string>

#include "platform/core/Logger.hpp"

typedef struct sd_bus sd_bus;

namespace talvori {
class BeforeWaitHook;
class FileWatch;
class RunLoop;
}  // namespace talvori

namespace talvori::x11 {

// The user's session bus, read and written in the run loop: what arrives is handled as it
// arrives, what is sent goes out before the loop next sleeps. The desktop's D-Bus services (the
// status item, the screen reader's state) share it.
class X11SessionBus : public std::enable_shared_from_this<X11SessionBus> {
  public:
    // Null, saying so once in `log`, when the session has no bus.
    static std::shared_ptr<X11SessionBus> open(RunLoop& loop, const Logger& log);
    ~X11SessionBus();
    X11SessionBus(const X11SessionBus&) = delete;
    X11SessionBus& operator=(const X11SessionBus&) = delete;

    sd_bus* raw() const { return bus_; }
    // Our unique name on the bus (":1.42").
    const char* uniqueName() const;
    // The match rule for the bus's signal that `name` was taken, passed on or given up: a service
    // that starts or restarts after us is asked again then.
    static std::string ownerChangesMatch(const std::string& name);

  private:
    X11SessionBus(sd_bus* bus, RunLoop& loop);
    void process();
    void watchOutput();

    sd_bus* bus_;
    RunLoop& loop_;
    std::shared_ptr<FileWatch> input_;
    std::shared_ptr<FileWatch> output_;
    std::shared_ptr<BeforeWaitHook> hook_;
};

}  // namespace talvori::x11

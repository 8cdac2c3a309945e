#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

typedef struct sd_bus sd_bus;

namespace talvori::testing {

class X11TestBus;
class X11TestSession;

// The desktop's accessibility bus for one test, as a login session has it: the launcher on the
// test's private session bus, its bus, and the registry that bus starts when first called. Its
// settings stay in memory and its socket in a folder of its own: nothing of the user's desktop is
// read or touched. Ended with the session.
class AtspiTestBus {
  public:
    AtspiTestBus(X11TestSession& session, const X11TestBus& bus);
    ~AtspiTestBus();
    AtspiTestBus(const AtspiTestBus&) = delete;
    AtspiTestBus& operator=(const AtspiTestBus&) = delete;

    bool isReady() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // The accessibility bus's address, as the launcher gives it.
    const std::string& address() const { return address_; }
    // A new connection to the accessibility bus, owned by the caller (sd_bus_flush_close_unref);
    // null when it cannot be reached.
    sd_bus* connect() const;
    // Says on the session bus that an assistive technology reads (or no longer does), as one
    // does when it starts or quits.
    bool setEnabled(bool enabled) const;
    // Stops the registry (SIGSTOP) until the bus goes: it answers nothing from then on, as one
    // waiting on a reader that hangs. False when it is not running.
    bool stopRegistry();

  private:
    const X11TestBus& bus_;
    std::filesystem::path folder_;
    std::string address_;
    std::string error_;
    pid_t stoppedRegistry_ = 0;
};

}  // namespace talvori::testing

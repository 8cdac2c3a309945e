#pragma once

#include <sys/types.h>
#include <systemd/sd-bus.h>

#include <optional>
#include <string>

namespace talvori::testing {

class X11TestSession;

// A private session bus for one test: a dbus-daemon of its own, started through the test's X
// session (which ends it), that starts no services by itself. While it lives it is the session
// bus of the program under test ($DBUS_SESSION_BUS_ADDRESS); the variable is put back after. Its
// address is a socket path alone, as a login session's is, so that a daemon started again after
// stop() answers at the same address. A desktop's own bus (its window manager's settings service)
// leaves the program's variable alone.
class X11TestBus {
  public:
    enum class Role { program, desktop };
    explicit X11TestBus(X11TestSession& session, Role role = Role::program);
    ~X11TestBus();
    X11TestBus(const X11TestBus&) = delete;
    X11TestBus& operator=(const X11TestBus&) = delete;

    bool isReady() const { return !address_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& address() const { return address_; }
    // A new connection for a stand-in service, owned by the caller (sd_bus_flush_close_unref).
    sd_bus* connect() const;
    // Ends the daemon, as a session bus that crashed or was killed ends.
    void stop();
    // Starts a daemon again at the same address; false when it does not answer.
    bool restart();
    // Waits until someone owns `name` on the bus (asks at least once); false after `seconds`.
    bool waitForName(const char* name, double seconds) const;

  private:
    bool startDaemon();

    X11TestSession& session_;
    Role role_;
    pid_t daemon_ = 0;
    std::string socket_;
    std::string configuration_;
    std::string address_;
    std::string error_;
    std::optional<std::string> previous_;
};

// Handles what arrived on `bus` without waiting.
void processBus(sd_bus* bus);

}  // namespace talvori::testing

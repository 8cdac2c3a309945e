#include "platform/x11/harness/X11TestBus.hpp"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::testing {

namespace {

// Anyone may own and call anything; nothing is started on demand.
constexpr const char* kConfiguration = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=@SOCKET@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

X11TestBus::X11TestBus(X11TestSession& session, Role role) : session_(session), role_(role) {
    if (!hasProgram("dbus-daemon")) {
        error_ = "dbus-daemon is missing: run scripts/setup";
        return;
    }
    static int made = 0;
    const auto base =
        std::filesystem::temp_directory_path() /
        ("talvori-test-bus-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
    socket_ = base.string() + ".socket";
    configuration_ = base.string() + ".conf";
    std::string text = kConfiguration;
    text.replace(text.find("@SOCKET@"), 8, socket_);
    std::ofstream(configuration_) << text;
    if (!startDaemon()) return;
    address_ = "unix:path=" + socket_;
    if (role == Role::desktop) return;
    if (const char* before = std::getenv("DBUS_SESSION_BUS_ADDRESS")) previous_ = before;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

bool X11TestBus::startDaemon() {
    int output = -1;
    daemon_ = session_.spawn(
        {"dbus-daemon", "--config-file=" + configuration_, "--nofork", "--print-address=1"},
        &output);
    if (daemon_ <= 0 || output < 0) {
        error_ = "dbus-daemon does not start";
        return false;
    }
    // It prints its address once it listens.
    std::string line;
    pollfd waiting{output, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (::poll(&waiting, 1, 20) <= 0) continue;
        char buffer[256];
        const ssize_t got = ::read(output, buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(output);
    if (line.find('\n') == std::string::npos) {
        error_ = "dbus-daemon gave no address";
        return false;
    }
    return true;
}

void X11TestBus::stop() {
    if (daemon_ > 0) session_.end(daemon_);
    daemon_ = 0;
}

bool X11TestBus::restart() {
    stop();
    return startDaemon();
}

X11TestBus::~X11TestBus() {
    if (!address_.empty() && role_ == Role::program) {
        if (previous_) {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", previous_->c_str(), 1);
        } else {
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
    }
    std::error_code ignored;
    if (!configuration_.empty()) std::filesystem::remove(configuration_, ignored);
    if (!socket_.empty()) std::filesystem::remove(socket_, ignored);
}

sd_bus* X11TestBus::connect() const {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return nullptr;
    sd_bus_set_address(bus, address_.c_str());
    sd_bus_set_bus_client(bus, 1);
    if (sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return bus;
}

bool X11TestBus::waitForName(const char* name, double seconds) const {
    sd_bus* bus = connect();
    if (!bus) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool owned = false;
    for (bool first = true; !owned && (first || std::chrono::steady_clock::now() < deadline);
         first = false) {
        sd_bus_message* reply = nullptr;
        int has = 0;
        if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                               name) >= 0 &&
            sd_bus_message_read(reply, "b", &has) >= 0) {
            owned = has != 0;
        }
        sd_bus_message_unref(reply);
        if (!owned) ::usleep(10000);
    }
    sd_bus_flush_close_unref(bus);
    return owned;
}

void processBus(sd_bus* bus) {
    while (sd_bus_process(bus, nullptr) > 0) {
    }
}

}  // namespace talvori::testing

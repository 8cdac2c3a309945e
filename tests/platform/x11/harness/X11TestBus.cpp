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
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

X11TestBus::X11TestBus(X11TestSession& session) {
    if (!hasProgram("dbus-daemon")) {
        error_ = "dbus-daemon is missing: run scripts/setup";
        return;
    }
    configuration_ = (std::filesystem::temp_directory_path() /
                      ("talvori-test-bus-" + std::to_string(::getpid()) + ".conf"))
                         .string();
    std::ofstream(configuration_) << kConfiguration;
    int output = -1;
    const pid_t daemon = session.spawn(
        {"dbus-daemon", "--config-file=" + configuration_, "--nofork", "--print-address=1"},
        &output);
    if (daemon <= 0 || output < 0) {
        error_ = "dbus-daemon does not start";
        return;
    }
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
        return;
    }
    address_ = line.substr(0, line.find('\n'));
    if (const char* before = std::getenv("DBUS_SESSION_BUS_ADDRESS")) previous_ = before;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

X11TestBus::~X11TestBus() {
    if (!address_.empty()) {
        if (previous_) {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", previous_->c_str(), 1);
        } else {
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
    }
    if (!configuration_.empty()) std::filesystem::remove(configuration_);
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

void processBus(sd_bus* bus) {
    while (sd_bus_process(bus, nullptr) > 0) {
    }
}

}  // namespace talvori::testing

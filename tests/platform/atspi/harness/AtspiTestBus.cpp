#include "platform/atspi/harness/AtspiTestBus.hpp"

#include <signal.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/atspi/harness/ScopedVariable.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::testing {

namespace {

constexpr const char* kLauncher = "/usr/libexec/at-spi-bus-launcher";
constexpr const char* kRegistry = "/usr/libexec/at-spi2-registryd";

std::optional<std::string> askAddress(sd_bus* bus) {
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    std::optional<std::string> address;
    if (sd_bus_call_method(bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                           &error, &reply, "") >= 0) {
        const char* text = nullptr;
        if (sd_bus_message_read(reply, "s", &text) >= 0 && text && *text) address = text;
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    return address;
}

}  // namespace

AtspiTestBus::AtspiTestBus(X11TestSession& session, const X11TestBus& bus) : bus_(bus) {
    if (::access(kLauncher, X_OK) != 0 || ::access(kRegistry, X_OK) != 0) {
        error_ = "the accessibility bus launcher or registry is missing: run scripts/setup";
        return;
    }
    static int made = 0;
    folder_ = std::filesystem::temp_directory_path() /
              ("talvori-a11y-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
    std::filesystem::create_directories(folder_);
    {
        const ScopedVariable runtime("XDG_RUNTIME_DIR", folder_.string());
        const ScopedVariable settings("GSETTINGS_BACKEND", "memory");
        if (session.spawn({kLauncher, "--launch-immediately"}) <= 0) {
            error_ = "the accessibility bus launcher does not start";
            return;
        }
    }
    sd_bus* connection = bus.connect();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (connection && std::chrono::steady_clock::now() < deadline) {
        if (auto found = askAddress(connection)) {
            address_ = *found;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (connection) sd_bus_flush_close_unref(connection);
    if (address_.empty()) error_ = "the accessibility bus launcher gives no address";
}

AtspiTestBus::~AtspiTestBus() {
    // Stopped, it would outlive its bus.
    if (stoppedRegistry_ > 0) ::kill(stoppedRegistry_, SIGCONT);
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool AtspiTestBus::setEnabled(bool enabled) const {
    sd_bus* connection = bus_.connect();
    if (!connection) return false;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int result =
        sd_bus_set_property(connection, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status",
                            "IsEnabled", &error, "b", enabled ? 1 : 0);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(connection);
    return result >= 0;
}

sd_bus* AtspiTestBus::connect() const {
    sd_bus* connection = nullptr;
    int result = sd_bus_new(&connection);
    if (result >= 0) result = sd_bus_set_address(connection, address_.c_str());
    if (result >= 0) result = sd_bus_set_bus_client(connection, 1);
    if (result >= 0) result = sd_bus_start(connection);
    if (result >= 0) return connection;
    sd_bus_unref(connection);
    return nullptr;
}

bool AtspiTestBus::stopRegistry() {
    sd_bus* connection = connect();
    if (!connection) return false;
    sd_bus_creds* creds = nullptr;
    pid_t pid = 0;
    int result =
        sd_bus_get_name_creds(connection, "org.a11y.atspi.Registry", SD_BUS_CREDS_PID, &creds);
    if (result >= 0) result = sd_bus_creds_get_pid(creds, &pid);
    sd_bus_creds_unref(creds);
    sd_bus_flush_close_unref(connection);
    if (result < 0 || pid <= 0 || ::kill(pid, SIGSTOP) != 0) return false;
    stoppedRegistry_ = pid;
    return true;
}

}  // namespace talvori::testing

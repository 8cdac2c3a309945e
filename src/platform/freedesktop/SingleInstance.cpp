#include "platform/freedesktop/SingleInstance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/core/SignalWatch.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/SessionBus.hpp"

namespace talvori::freedesktop {

namespace {

// A running instance that does not answer within this is taken as stuck.
constexpr std::uint64_t kActivateTimeoutMicroseconds = 2'000'000;

int onActivateCall(sd_bus_message* message, void* self, sd_bus_error*) {
    static_cast<SingleInstance*>(self)->activated();
    return sd_bus_reply_method_return(message, "");
}

const sd_bus_vtable kApplicationVTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Activate", "a{sv}", "", onActivateCall, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

// The process that holds the lock, as it wrote itself into the file; 0 when it has not yet.
pid_t lockHolder(int fd) {
    // The holder writes its number just after taking the lock.
    for (int attempt = 0; attempt < 100; ++attempt) {
        char text[32] = {};
        const ssize_t length = ::pread(fd, text, sizeof text - 1, 0);
        if (length > 0) {
            const long pid = std::strtol(text, nullptr, 10);
            if (pid > 0) return static_cast<pid_t>(pid);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

}  // namespace

SingleInstance::Claim SingleInstance::claim(const std::shared_ptr<SessionBus>& bus, RunLoop& loop,
                                            std::function<void()> onActivate, const Logger& log) {
    if (bus) return claimName(bus, std::move(onActivate), log);
    return claimLock(loop, std::move(onActivate), log);
}

SingleInstance::SingleInstance(std::function<void()> onActivate)
    : onActivate_(std::move(onActivate)) {}

SingleInstance::~SingleInstance() {
    signals_.reset();
    if (ownsName_ && bus_->isConnected()) {
        // The next start finds the name free at once, not only when our connection closes.
        sd_bus_release_name_async(bus_->raw(), nullptr, kBusName, nullptr, nullptr);
    }
    sd_bus_slot_unref(object_);
    if (lock_ >= 0) ::close(lock_);
}

SingleInstance::Claim SingleInstance::claimName(const std::shared_ptr<SessionBus>& bus,
                                                std::function<void()> onActivate,
                                                const Logger& log) {
    std::shared_ptr<SingleInstance> instance(new SingleInstance(std::move(onActivate)));
    instance->bus_ = bus;
    const int result = instance->publish(true);
    if (result == -EEXIST) return {nullptr, activateOwner(*bus)};
    if (result < 0) {
        log.error(
            "Cannot own %{public}s on the session bus (%{public}s): a second start of "
            "Talvori will not find this one",
            kBusName, std::strerror(-result));
    }
    instance->busConnection_ =
        bus->observeConnection(weakly(instance->weak_from_this(), &SingleInstance::busChanged));
    return {instance, {}};
}

int SingleInstance::publish(bool wait) {
    sd_bus* raw = bus_->raw();
    // The object first: a later start may call it as soon as the name is ours.
    int result =
        sd_bus_add_object_vtable(raw, &object_, kObjectPath, kInterface, kApplicationVTable, this);
    if (result < 0) return result;
    result = wait ? sd_bus_request_name(raw, kBusName, 0)
                  : sd_bus_request_name_async(raw, nullptr, kBusName, 0, nullptr, nullptr);
    ownsName_ = result >= 0;
    return result;
}

void SingleInstance::busChanged() {
    object_ = sd_bus_slot_unref(object_);
    ownsName_ = false;
    if (bus_->isConnected()) publish(false);
}

std::string SingleInstance::activateOwner(SessionBus& bus) {
    sd_bus* raw = bus.raw();
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int result =
        sd_bus_message_new_method_call(raw, &call, kBusName, kObjectPath, kInterface, "Activate");
    // No platform data: the running one shows itself as its status item's click would.
    if (result >= 0) result = sd_bus_message_open_container(call, 'a', "{sv}");
    if (result >= 0) result = sd_bus_message_close_container(call);
    if (result >= 0) result = sd_bus_call(raw, call, kActivateTimeoutMicroseconds, &error, &reply);
    std::string outcome = "Talvori is already running, and shows itself.";
    if (result < 0) {
        outcome = std::string("Talvori is already running, but did not answer (") +
                  (error.message ? error.message : std::strerror(-result)) + ").";
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    return outcome;
}

void SingleInstance::activated() {
    if (onActivate_) onActivate_();
}

SingleInstance::Claim SingleInstance::claimLock(RunLoop& loop, std::function<void()> onActivate,
                                                const Logger& log) {
    std::shared_ptr<SingleInstance> instance(new SingleInstance(std::move(onActivate)));
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    if (!folder || folder[0] != '/') {
        log.log(
            "Neither a session bus nor XDG_RUNTIME_DIR: a second start of Talvori will not "
            "find this one");
        return {instance, {}};
    }
    // Before anyone can read our number: SIGUSR1 would otherwise end the program.
    instance->signals_ = std::make_unique<SignalWatch>(
        loop, std::initializer_list<int>{SIGUSR1}, SignalWatch::Delivery::always,
        [raw = instance.get()](int) { raw->activated(); });
    const std::string path = std::string(folder) + "/" + kLockName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        log.error(
            "Cannot open %{public}s (%{public}s): a second start of Talvori will not find "
            "this one",
            path.c_str(), std::strerror(errno));
        return {instance, {}};
    }
    const int refused = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
    if (refused != 0 && refused != EWOULDBLOCK) {
        log.error(
            "Cannot lock %{public}s (%{public}s): a second start of Talvori will not find "
            "this one",
            path.c_str(), std::strerror(refused));
        ::close(fd);
        return {instance, {}};
    }
    if (refused == 0) {
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
            log.error("Cannot write %{public}s (%{public}s)", path.c_str(), std::strerror(errno));
        }
        instance->lock_ = fd;
        return {instance, {}};
    }
    instance.reset();
    const pid_t holder = lockHolder(fd);
    ::close(fd);
    if (holder > 0 && ::kill(holder, SIGUSR1) == 0) {
        return {nullptr, "Talvori is already running (process " + std::to_string(holder) +
                             "), and shows itself."};
    }
    return {nullptr, "Talvori is already running (it holds " + path + "), but cannot be reached."};
}

}  // namespace talvori::freedesktop

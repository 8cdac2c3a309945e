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

#include "platform/core/RunLoop.hpp"
#include "platform/core/SignalWatch.hpp"
#include "platform/core/Time.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/SessionBus.hpp"

namespace talvori::freedesktop {

namespace {

// A running instance that does not answer within this is taken as stuck.
constexpr std::uint64_t kActivateTimeoutMicroseconds = 2'000'000;
// RequestName's answers that leave the name ours.
constexpr std::uint32_t kPrimaryOwner = 1;
constexpr std::uint32_t kAlreadyOwner = 4;

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
                                            std::function<void()> onActivate,
                                            const std::function<bool()>& quitting,
                                            const Logger& log) {
    if (bus) return claimName(bus, loop, std::move(onActivate), quitting, log);
    return claimLock(loop, std::move(onActivate), log);
}

SingleInstance::SingleInstance(std::function<void()> onActivate, Logger log)
    : onActivate_(std::move(onActivate)), log_(std::move(log)) {}

SingleInstance::~SingleInstance() {
    signals_.reset();
    if (ownsName_ && bus_->isConnected()) {
        // The next start finds the name free at once, not only when our connection closes.
        sd_bus_release_name_async(bus_->raw(), nullptr, kBusName, nullptr, nullptr);
    }
    sd_bus_slot_unref(nameRequest_);
    sd_bus_slot_unref(object_);
    if (lock_ >= 0) ::close(lock_);
}

SingleInstance::Claim SingleInstance::claimName(const std::shared_ptr<SessionBus>& bus,
                                                RunLoop& loop, std::function<void()> onActivate,
                                                const std::function<bool()>& quitting,
                                                const Logger& log) {
    std::shared_ptr<SingleInstance> instance(new SingleInstance(std::move(onActivate), log));
    instance->bus_ = bus;
    int result = instance->publish();
    if (result >= 0) {
        const auto answer = instance->awaitName(loop, quitting);
        if (!answer && !quitting()) {
            log.log(
                "The session bus did not answer within %{public}.1f s: Talvori runs as the only "
                "instance",
                kClaimSeconds);
        }
        result = answer.value_or(0);
    }
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

int SingleInstance::publish() {
    sd_bus* raw = bus_->raw();
    // The object first: a later start may call it as soon as the name is ours.
    int result =
        sd_bus_add_object_vtable(raw, &object_, kObjectPath, kInterface, kApplicationVTable, this);
    if (result < 0) return result;
    nameRequest_ = sd_bus_slot_unref(nameRequest_);
    return sd_bus_request_name_async(raw, &nameRequest_, kBusName, 0, onNameReply, this);
}

std::optional<int> SingleInstance::awaitName(RunLoop& loop, const std::function<bool()>& quitting) {
    claiming_ = true;
    const Nanoseconds deadline = loop.now() + nanosecondsFromSeconds(kClaimSeconds);
    while (!claimAnswer_ && !quitting() && loop.now() < deadline) {
        loop.runOnce(secondsFromNanoseconds(deadline - loop.now()));
    }
    claiming_ = false;
    return claimAnswer_;
}

int SingleInstance::onNameReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    int result = 0;
    std::uint32_t answer = 0;
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        result = -sd_bus_message_get_errno(reply);
    } else if (sd_bus_message_read(reply, "u", &answer) < 0) {
        result = -EBADMSG;
    } else if (answer != kPrimaryOwner && answer != kAlreadyOwner) {
        result = -EEXIST;
    }
    static_cast<SingleInstance*>(self)->nameAnswered(result);
    return 0;
}

void SingleInstance::nameAnswered(int result) {
    nameRequest_ = sd_bus_slot_unref(nameRequest_);
    ownsName_ = result >= 0;
    if (claiming_) {
        claimAnswer_ = result;
    } else if (result == -EEXIST) {
        log_.error(
            "Another Talvori owns %{public}s: a second start of Talvori will find that one, not "
            "this one",
            kBusName);
    }
}

void SingleInstance::busChanged() {
    object_ = sd_bus_slot_unref(object_);
    nameRequest_ = sd_bus_slot_unref(nameRequest_);
    ownsName_ = false;
    if (bus_->isConnected()) publish();
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
    std::shared_ptr<SingleInstance> instance(new SingleInstance(std::move(onActivate), log));
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

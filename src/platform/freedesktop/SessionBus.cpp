#include "platform/freedesktop/SessionBus.hpp"

#include <malloc.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-id128.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/core/RunLoop.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"

namespace talvori::freedesktop {

namespace {

// Counts the messages that came whole, before they are handled.
int countArrival(sd_bus_message*, void* count, sd_bus_error*) {
    ++*static_cast<std::uint64_t*>(count);
    return 0;
}

int millisecondsUntil(const timespec& deadline) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int>((deadline.tv_sec - now.tv_sec) * 1000 +
                            (deadline.tv_nsec - now.tv_nsec) / 1'000'000);
}

// What is still queued goes out as far as the bus takes it within `seconds`. sd_bus_flush would
// wait without end for a bus that never greeted us, or that stopped reading while more than a
// socket buffer waits.
void sendWhatIsLeft(sd_bus* bus, double seconds) {
    if (sd_bus_is_ready(bus) <= 0) return;
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    const auto milliseconds = static_cast<long>(seconds * 1000);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += milliseconds % 1000 * 1'000'000;
    for (;;) {
        const int events = sd_bus_get_events(bus);
        const int left = millisecondsUntil(deadline);
        if (events < 0 || !(events & POLLOUT) || left <= 0) return;
        pollfd output{sd_bus_get_fd(bus), POLLOUT, 0};
        if (::poll(&output, 1, left) <= 0 || sd_bus_process(bus, nullptr) < 0) return;
    }
}

}  // namespace

std::shared_ptr<SessionBus> SessionBus::open(RunLoop& loop, const Logger& log) {
    sd_bus* bus = nullptr;
    const int result = sd_bus_open_user(&bus);
    if (result < 0) {
        log.log("No session bus (%{public}s): the status item can only dock in a system tray",
                std::strerror(-result));
        return nullptr;
    }
    std::shared_ptr<SessionBus> session(new SessionBus(loop, log));
    session->attach(bus);
    return session;
}

std::shared_ptr<SessionBus> SessionBus::connect(RunLoop& loop, const std::string& address,
                                                const Logger& log) {
    sd_bus* bus = nullptr;
    int result = sd_bus_new(&bus);
    if (result >= 0) result = sd_bus_set_address(bus, address.c_str());
    if (result >= 0) result = sd_bus_set_bus_client(bus, 1);
    if (result >= 0) result = sd_bus_start(bus);
    if (result < 0) {
        log.error("The bus at %{public}s cannot be reached (%{public}s)", address.c_str(),
                  std::strerror(-result));
        sd_bus_unref(bus);
        return nullptr;
    }
    return keep(loop, bus, log);
}

SessionBus::SessionBus(RunLoop& loop, Logger log) : loop_(loop), log_(std::move(log)) {}

std::shared_ptr<SessionBus> SessionBus::keep(RunLoop& loop, sd_bus* bus, const Logger& log) {
    std::shared_ptr<SessionBus> connection(new SessionBus(loop, log));
    connection->reconnects_ = false;
    connection->attach(bus);
    return connection;
}

std::shared_ptr<SessionBus> SessionBus::servePeer(RunLoop& loop, int fd, const Logger& log) {
    sd_bus* bus = nullptr;
    sd_id128_t id{};
    int result = sd_id128_randomize(&id);
    if (result >= 0) result = sd_bus_new(&bus);
    if (result >= 0) result = sd_bus_set_fd(bus, fd, fd);
    if (result < 0) {
        ::close(fd);
    } else {
        result = sd_bus_set_server(bus, 1, id);
        if (result >= 0) result = sd_bus_start(bus);
    }
    if (result < 0) {
        log.error("A reader's own connection cannot be served (%{public}s)",
                  std::strerror(-result));
        sd_bus_unref(bus);
        return nullptr;
    }
    return keep(loop, bus, log);
}

SessionBus::~SessionBus() {
    retry_.clear();
    wake_.clear();
    hook_.reset();
    output_.reset();
    input_.reset();
    filter_ = sd_bus_slot_unref(filter_);
    if (!bus_) return;
    sendWhatIsLeft(bus_, kLastSendSeconds);
    sd_bus_close_unref(bus_);
}

void SessionBus::attach(sd_bus* bus) {
    bus_ = bus;
    const std::weak_ptr<SessionBus> weak = weak_from_this();
    input_ = loop_.watch(sd_bus_get_fd(bus), POLLIN, weakly(weak, &SessionBus::process));
    sd_bus_add_filter(bus, &filter_, countArrival, &messagesArrived_);
    hook_ = loop_.addBeforeWaitHook(weakly(weak, &SessionBus::process));
}

const char* SessionBus::uniqueName() const {
    const char* name = nullptr;
    return bus_ && sd_bus_get_unique_name(bus_, &name) >= 0 ? name : "";
}

std::string SessionBus::ownerChangesMatch(const std::string& name) {
    return "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
           "member='NameOwnerChanged',arg0='" +
           name + "'";
}

Registration SessionBus::observeConnection(std::function<void()> onChange) const {
    return connection_.observe(std::move(onChange));
}

void SessionBus::process() {
    // A flood under way is taken up by its own timer, one slice a turn.
    if (!bus_ || resuming_) return;
    processSlice();
}

void SessionBus::resume() {
    resuming_ = false;
    process();
}

void SessionBus::timedOut() {
    wakeDue_ = kNoWake;
    process();
}

void SessionBus::processSlice() {
    // A handler may drop the last other reference to the bus.
    auto self = shared_from_this();
    const void* heapEnd = ::sbrk(0);
    const std::uint64_t arrived = messagesArrived_;
    const bool more = handleSlice();
    giveBackLargeMessage(heapEnd, arrived);
    // Once closed, the bus has let go of its descriptor: a number that the next file opened may
    // get.
    if (sd_bus_is_open(bus_) <= 0) {
        closed();
        return;
    }
    // A bus that came back and took our greeting is a bus again: the next loss is retried soon.
    if (sd_bus_is_ready(bus_) > 0) retryDelay_ = kFirstRetryDelay;
    watchOutput();
    scheduleWake(more);
}

// Whether messages are left for the next turn.
bool SessionBus::handleSlice() {
    const Nanoseconds end = loop_.now() + nanosecondsFromSeconds(kSliceSeconds);
    for (int handled = 0; handled < kMessagesPerSlice; ++handled) {
        if (sd_bus_process(bus_, nullptr) <= 0) return false;
        if (loop_.now() >= end) return true;
    }
    return true;
}

// A message of megabytes (a reader setting a huge text) is read whole into one buffer, over
// several slices. Once the C library has seen such a size come and go, it takes the next from its
// heap and keeps what is freed there for later: handled and freed, the message would stay in the
// program's memory. The buffer is made when the message starts to arrive, and nothing behind it
// can come whole before it: the slice in which the next message comes whole has freed it.
void SessionBus::giveBackLargeMessage(const void* heapEnd, std::uint64_t arrived) {
    const auto grown = static_cast<const char*>(::sbrk(0)) - static_cast<const char*>(heapEnd);
    if (grown >= kLargeMessageBytes) {
        // It may have come whole in this very slice.
        largeMessageComing_ = true;
        ::malloc_trim(0);
    } else if (largeMessageComing_ && messagesArrived_ != arrived) {
        largeMessageComing_ = false;
        ::malloc_trim(0);
    }
}

// sd-bus notices a call's timeout only while it processes: without a wake-up at the earliest one,
// a call nobody answers would wait for whatever wakes the loop next.
void SessionBus::scheduleWake(bool more) {
    const std::weak_ptr<SessionBus> weak = weak_from_this();
    if (more) {
        resuming_ = true;
        wakeDue_ = kNoWake;
        wake_.replace(Timer::scheduledTimer(loop_, 0, false, weakly(weak, &SessionBus::resume),
                                            RunLoopMode::common));
        return;
    }
    std::uint64_t due = 0;
    if (sd_bus_get_timeout(bus_, &due) < 0 || due == UINT64_MAX) {
        wakeDue_ = kNoWake;
        wake_.clear();
        return;
    }
    if (due == wakeDue_) return;
    wakeDue_ = due;
    // sd-bus counts in microseconds of the monotonic clock.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowMicroseconds = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
                                          static_cast<std::uint64_t>(now.tv_nsec) / 1'000;
    // A microsecond late rather than early: early, the call would not have timed out yet.
    const double delay =
        due > nowMicroseconds ? static_cast<double>(due - nowMicroseconds + 1) / 1e6 : 0;
    wake_.replace(Timer::scheduledTimer(loop_, delay, false, weakly(weak, &SessionBus::timedOut),
                                        RunLoopMode::common));
}

// Messages the socket did not take at once wait for it to be writable.
void SessionBus::watchOutput() {
    const int events = sd_bus_get_events(bus_);
    const bool waiting = events > 0 && (events & POLLOUT);
    if (waiting && !output_) {
        output_ = loop_.watch(sd_bus_get_fd(bus_), POLLOUT,
                              weakly(weak_from_this(), &SessionBus::process));
    } else if (!waiting) {
        output_.reset();
    }
}

void SessionBus::closed() {
    if (reconnects_) {
        log_.log(
            "The session bus went away: the status item docks in a system tray until it is back");
    }
    hook_.reset();
    output_.reset();
    input_.reset();
    wake_.clear();
    wakeDue_ = kNoWake;
    resuming_ = false;
    filter_ = sd_bus_slot_unref(filter_);
    sd_bus* bus = std::exchange(bus_, nullptr);
    // The users let go of what they made on it first; their slots hold the bus until then.
    connection_.notify();
    sd_bus_flush_close_unref(bus);
    if (reconnects_) scheduleRetry();
}

void SessionBus::scheduleRetry() {
    retry_.replace(Timer::scheduledTimer(loop_, retryDelay_, false,
                                         weakly(weak_from_this(), &SessionBus::retry),
                                         RunLoopMode::common));
    retryDelay_ = std::min(retryDelay_ * 2, kLongestRetryDelay);
}

void SessionBus::retry() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) {
        scheduleRetry();
        return;
    }
    retry_.clear();
    attach(bus);
    log_.log("The session bus is back");
    connection_.notify();
}

}  // namespace talvori::freedesktop

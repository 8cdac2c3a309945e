#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/TimerSlot.hpp"

typedef struct sd_bus sd_bus;
typedef struct sd_bus_slot sd_bus_slot;

namespace talvori {
class BeforeWaitHook;
class FileWatch;
class RunLoop;
}  // namespace talvori

namespace talvori::freedesktop {

// The user's session bus, read and written in the run loop: what arrives is handled as it
// arrives, a slice at a time so that a flood of messages leaves the desktop's events their turn,
// what is sent goes out before the loop next sleeps, and a call whose answer is late fails at its
// timeout. The desktop's D-Bus services (the status item, the screen reader's state) share it. A
// bus that goes away (its daemon ended) is let go at once and asked for again at the same address,
// less and less often, until it answers. Its end sends what is left for a moment at most.
class SessionBus : public std::enable_shared_from_this<SessionBus> {
  public:
    // Null, saying so once in `log`, when the session has no bus.
    static std::shared_ptr<SessionBus> open(RunLoop& loop, const Logger& log);
    // A connection of our own to the bus at `address` (the accessibility bus), served the same
    // way; null when it cannot be reached. One that goes away is not asked for again: whoever
    // gave the address gives the next.
    static std::shared_ptr<SessionBus> connect(RunLoop& loop, const std::string& address,
                                               const Logger& log);
    // One peer that connected to us straight on the accepted socket `fd` (taken over), served as
    // its bus would be; null, the socket closed, when it cannot be.
    static std::shared_ptr<SessionBus> servePeer(RunLoop& loop, int fd, const Logger& log);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Null while the bus is gone.
    sd_bus* raw() const { return bus_; }
    bool isConnected() const { return bus_ != nullptr; }
    // Our unique name on the bus (":1.42"); empty while the bus is gone.
    const char* uniqueName() const;
    // The match rule for the bus's signal that `name` was taken, passed on or given up: a service
    // that starts or restarts after us is asked again then.
    static std::string ownerChangesMatch(const std::string& name);

    // Calls `onChange` when the bus goes away and when it is back: whatever was made on the bus
    // (names, objects, matches, calls) is dropped at the first and made anew at the second.
    Registration observeConnection(std::function<void()> onChange) const;

    static constexpr double kFirstRetryDelay = 0.5;
    static constexpr double kLongestRetryDelay = 8;
    // What one turn of the loop gives the bus at most, whichever comes first.
    static constexpr int kMessagesPerSlice = 256;
    static constexpr double kSliceSeconds = 0.003;
    // A slice that grows the heap this much is reading a large message: its memory is handed
    // back to the system once it has been handled.
    static constexpr long kLargeMessageBytes = 1 << 20;
    // How long what is still queued may take to go out when the connection ends.
    static constexpr double kLastSendSeconds = 0.25;

  private:
    SessionBus(RunLoop& loop, Logger log);
    // A connection that stays with `bus` as it is, never reconnecting.
    static std::shared_ptr<SessionBus> keep(RunLoop& loop, sd_bus* bus, const Logger& log);
    void attach(sd_bus* bus);
    void process();
    void resume();
    void timedOut();
    void processSlice();
    bool handleSlice();
    void giveBackLargeMessage(const void* heapEnd, std::uint64_t arrived);
    void scheduleWake(bool more);
    void watchOutput();
    void closed();
    void scheduleRetry();
    void retry();

    sd_bus* bus_ = nullptr;
    bool reconnects_ = true;
    RunLoop& loop_;
    Logger log_;
    std::shared_ptr<FileWatch> input_;
    std::shared_ptr<FileWatch> output_;
    std::shared_ptr<BeforeWaitHook> hook_;
    TimerSlot retry_;
    // The next slice of a flood, or the earliest timeout of a call awaiting its answer.
    TimerSlot wake_;
    static constexpr std::uint64_t kNoWake = UINT64_MAX;
    std::uint64_t wakeDue_ = kNoWake;
    bool resuming_ = false;
    sd_bus_slot* filter_ = nullptr;
    std::uint64_t messagesArrived_ = 0;
    bool largeMessageComing_ = false;
    double retryDelay_ = kFirstRetryDelay;
    ObservationSubject connection_;
};

}  // namespace talvori::freedesktop

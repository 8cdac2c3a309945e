#pragma once

#include <compare>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/Clock.hpp"
#include "platform/core/Logger.hpp"
#include "platform/core/SourceLocation.hpp"

namespace talvori {

// Timers in the default mode pause while a tracking loop runs (a live drag, an open menu); common
// mode work runs always. Posted work is always common.
enum class RunLoopMode { defaultMode, common };

// A scheduled piece of work; cancelling a handle whose work already ran does nothing.
struct ScheduledWork {
    Nanoseconds due = 0;
    std::uint64_t sequence = 0;
    RunLoopMode mode = RunLoopMode::common;
};

class FileWatch;
class BeforeWaitHook;

// The one event loop of the program. Everything runs on it, one piece of work at a time, in order
// of due time and then of scheduling. With a real clock it sleeps in poll until the next deadline
// or a watched descriptor; with a virtual clock it runs only when the test moves time.
class RunLoop : public std::enable_shared_from_this<RunLoop> {
  public:
    // `log` hears of descriptors whose watches end on their own.
    static std::shared_ptr<RunLoop> create(std::shared_ptr<Clock> clock, Logger log = {});
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    Clock& clock() const { return *clock_; }
    Nanoseconds now() const { return clock_->nowNanoseconds(); }

    // Runs `work` on a later turn, after work posted before it; never synchronously. Main thread
    // only, like schedule(): other threads use postFromAnyThread().
    void post(std::function<void()> work, SourceLocation caller = SourceLocation::current());
    // The one entry point that other threads may call; wakes the loop.
    void postFromAnyThread(std::function<void()> work);
    // Runs `work` once after `seconds`; not cancellable, for delayed actions nobody stores.
    void runAfter(double seconds, std::function<void()> work,
                  SourceLocation caller = SourceLocation::current());

    ScheduledWork schedule(Nanoseconds due, RunLoopMode mode, std::function<void()> work,
                           SourceLocation caller = SourceLocation::current());
    void cancel(const ScheduledWork& work);

    // Runs until stop(). With a virtual clock it jumps from deadline to deadline and returns when
    // nothing is left to run.
    void run();
    void stop() { stopped_ = true; }
    // One turn: waits up to `maxWaitSeconds` for something to fall due, then runs what is due.
    void runOnce(double maxWaitSeconds);
    // Virtual time: runs everything due up to and including `target`, moving the clock to each
    // item's due time as it goes.
    void runUntil(Nanoseconds target);

    void setTracking(bool tracking) { tracking_ = tracking; }
    bool isTracking() const { return tracking_; }

    // Calls `handler` with the poll events whenever `fd` is ready; the watch ends with the handle,
    // and from then on its handler is not called, not even in a turn where it was ready too.
    // A descriptor that reports POLLHUP or POLLNVAL (its peer hung up, or it was closed under the
    // watch) would be ready at every poll from then on: its handler is called once more with
    // those events, to read what is left, and the descriptor is watched no more.
    [[nodiscard]] std::shared_ptr<FileWatch> watch(int fd, short events,
                                                   std::function<void(short)> handler);

    // Calls `hook` each time a real-time loop is about to sleep, after the turn's work and before
    // the deadline is taken: a connection that buffers requests sends them there, and one that
    // reads events while waiting for replies (so that its descriptor stays quiet) hands them over.
    // Work the hook posts keeps the loop from sleeping. The hook ends with the handle.
    [[nodiscard]] std::shared_ptr<BeforeWaitHook> addBeforeWaitHook(std::function<void()> hook);

    bool isMainThread() const { return std::this_thread::get_id() == thread_; }
    // Stops the program with a fixed message naming the calling function when called off the
    // loop's thread.
    void assertMainThread(SourceLocation caller = SourceLocation::current()) const;

    std::size_t pendingCount() const;
    // When the earliest runnable work falls due (posted work: when it was posted); the largest
    // value with none.
    Nanoseconds nextDeadline() const;
    // How many times the loop woke to run work: every distinct moment at which something ran
    // counts once, however much ran then. Lets tests count an idle program's wake-ups.
    std::uint64_t wakeUpCount() const { return wakeUps_; }

  private:
    struct Key {
        Nanoseconds due;
        std::uint64_t sequence;
        auto operator<=>(const Key&) const = default;
    };
    using Queue = std::map<Key, std::function<void()>>;
    struct Posted {
        Key key;
        std::function<void()> work;
    };

    RunLoop(std::shared_ptr<Clock> clock, Logger log);

    void drainIncoming();
    // The earliest runnable item due no later than `limit`, taken out of its queue.
    bool takeNext(Nanoseconds limit, std::uint64_t sequenceLimit, Key& key,
                  std::function<void()>& work);
    void waitForWork(Nanoseconds timeout);
    void runTurn();
    void noteWake(Nanoseconds time);
    void runBeforeWaitHooks();
    void dispatch(FileWatch& watch, short revents);

    std::shared_ptr<Clock> clock_;
    Logger log_;
    std::thread::id thread_;
    std::uint64_t nextSequence_ = 1;
    std::deque<Posted> posted_;
    Queue common_;
    Queue default_;
    bool tracking_ = false;
    bool stopped_ = false;
    std::uint64_t wakeUps_ = 0;
    Nanoseconds lastWake_ = -1;

    std::mutex incomingMutex_;
    std::vector<std::function<void()>> incoming_;
    int wakeFd_ = -1;
    std::vector<std::weak_ptr<FileWatch>> watches_;
    std::vector<std::weak_ptr<BeforeWaitHook>> beforeWaitHooks_;
};

// A descriptor the run loop polls; dropping the handle ends the watch.
class FileWatch {
  public:
    FileWatch(int fd, short events, std::function<void(short)> handler)
        : fd(fd), events(events), handler(std::move(handler)) {}
    const int fd;
    const short events;
    std::function<void(short)> handler;
    // Set once the descriptor hung up or was closed: the loop no longer polls it.
    bool ended = false;
};

// A hook the run loop calls before it sleeps; dropping the handle ends it.
class BeforeWaitHook {
  public:
    explicit BeforeWaitHook(std::function<void()> hook) : hook(std::move(hook)) {}
    std::function<void()> hook;
};

}  // namespace talvori

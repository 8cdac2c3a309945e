#include "platform/core/RunLoop.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace talvori {

namespace {

// The descriptors of one wait, on the stack for the usual few: a turn of the loop allocates
// nothing.
template <class T>
class TurnBuffer {
  public:
    static constexpr std::size_t kOnStack = 16;
    explicit TurnBuffer(std::size_t size) {
        if (size > kOnStack) heap_.resize(size);
    }
    T* data() { return heap_.empty() ? stack_.data() : heap_.data(); }
    T& operator[](std::size_t index) { return data()[index]; }

  private:
    std::array<T, kOnStack> stack_{};
    std::vector<T> heap_;
};

}  // namespace

std::shared_ptr<RunLoop> RunLoop::create(std::shared_ptr<Clock> clock, Logger log) {
    std::shared_ptr<RunLoop> loop(new RunLoop(std::move(clock), std::move(log)));
    if (auto* virtualClock = dynamic_cast<VirtualClock*>(&loop->clock())) {
        std::weak_ptr<RunLoop> weak = loop;
        virtualClock->setDriver([weak](Nanoseconds target) {
            if (auto strong = weak.lock()) strong->runUntil(target);
        });
    }
    return loop;
}

RunLoop::RunLoop(std::shared_ptr<Clock> clock, Logger log)
    : clock_(std::move(clock)), log_(std::move(log)), thread_(std::this_thread::get_id()) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

RunLoop::~RunLoop() {
    if (auto* virtualClock = dynamic_cast<VirtualClock*>(clock_.get())) {
        virtualClock->setDriver(nullptr);
    }
    // Destroying pending work may schedule or cancel more work; keep clearing until none is left.
    while (!posted_.empty() || !common_.empty() || !default_.empty()) {
        auto posted = std::move(posted_);
        auto common = std::move(common_);
        auto defaults = std::move(default_);
        posted_.clear();
        common_.clear();
        default_.clear();
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void RunLoop::post(std::function<void()> work, SourceLocation caller) {
    assertMainThread(caller);
    posted_.push_back({{now(), nextSequence_++}, std::move(work)});
}

void RunLoop::postFromAnyThread(std::function<void()> work) {
    {
        std::lock_guard lock(incomingMutex_);
        incoming_.push_back(std::move(work));
    }
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    }
}

void RunLoop::runAfter(double seconds, std::function<void()> work, SourceLocation caller) {
    schedule(addSaturating(now(), nanosecondsFromSeconds(seconds)), RunLoopMode::common,
             std::move(work), caller);
}

ScheduledWork RunLoop::schedule(Nanoseconds due, RunLoopMode mode, std::function<void()> work,
                                SourceLocation caller) {
    assertMainThread(caller);
    const Key key{due, nextSequence_++};
    (mode == RunLoopMode::common ? common_ : default_).emplace(key, std::move(work));
    return {key.due, key.sequence, mode};
}

void RunLoop::cancel(const ScheduledWork& work) {
    auto& queue = work.mode == RunLoopMode::common ? common_ : default_;
    queue.erase(Key{work.due, work.sequence});
}

void RunLoop::drainIncoming() {
    std::vector<std::function<void()>> incoming;
    {
        std::lock_guard lock(incomingMutex_);
        incoming.swap(incoming_);
    }
    for (auto& work : incoming) post(std::move(work));
}

bool RunLoop::takeNext(Nanoseconds limit, std::uint64_t sequenceLimit, Key& key,
                       std::function<void()>& work) {
    enum class Source { none, posted, common, defaults } source = Source::none;
    auto consider = [&](const Key& candidate, Source from) {
        if (candidate.due > limit || candidate.sequence >= sequenceLimit) return;
        if (source == Source::none || candidate < key) {
            key = candidate;
            source = from;
        }
    };
    if (!posted_.empty()) consider(posted_.front().key, Source::posted);
    if (!common_.empty()) consider(common_.begin()->first, Source::common);
    if (!default_.empty() && !tracking_) consider(default_.begin()->first, Source::defaults);

    switch (source) {
        case Source::none:
            return false;
        case Source::posted:
            work = std::move(posted_.front().work);
            posted_.pop_front();
            return true;
        case Source::common:
            work = std::move(common_.begin()->second);
            common_.erase(common_.begin());
            return true;
        case Source::defaults:
            work = std::move(default_.begin()->second);
            default_.erase(default_.begin());
            return true;
    }
    return false;
}

void RunLoop::runUntil(Nanoseconds target) {
    auto* virtualClock = dynamic_cast<VirtualClock*>(clock_.get());
    Key key{};
    std::function<void()> work;
    for (;;) {
        drainIncoming();
        if (!takeNext(target, std::numeric_limits<std::uint64_t>::max(), key, work)) break;
        if (virtualClock) virtualClock->setNow(key.due);
        noteWake(now());
        work();
        work = nullptr;
    }
}

void RunLoop::runTurn() {
    drainIncoming();
    // Work posted during this turn waits for the next one, so a loop that keeps posting cannot
    // starve the descriptors.
    const std::uint64_t sequenceLimit = nextSequence_;
    Key key{};
    std::function<void()> work;
    bool woke = false;
    while (takeNext(now(), sequenceLimit, key, work)) {
        if (!woke) ++wakeUps_;
        woke = true;
        work();
        work = nullptr;
    }
}

void RunLoop::noteWake(Nanoseconds time) {
    if (time == lastWake_) return;
    lastWake_ = time;
    ++wakeUps_;
}

Nanoseconds RunLoop::nextDeadline() const {
    Nanoseconds deadline = std::numeric_limits<Nanoseconds>::max();
    if (!posted_.empty()) deadline = posted_.front().key.due;
    if (!common_.empty()) deadline = std::min(deadline, common_.begin()->first.due);
    if (!default_.empty() && !tracking_) deadline = std::min(deadline, default_.begin()->first.due);
    return deadline;
}

void RunLoop::waitForWork(Nanoseconds timeout) {
    // The wake-up descriptor first; a negative one (none could be made) is skipped by ppoll.
    TurnBuffer<pollfd> fds(watches_.size() + 1);
    // Weak for the turn: a handler may end a watch that is ready too, whose owner is then gone.
    TurnBuffer<std::weak_ptr<FileWatch>> polled(watches_.size() + 1);
    fds[0] = {wakeFd_, POLLIN, 0};
    std::size_t count = 1;
    // Ended watches are dropped in the same walk: each is looked at once a turn.
    auto kept = watches_.begin();
    for (auto& weak : watches_) {
        const auto watch = weak.lock();
        if (!watch || watch->ended) continue;
        fds[count] = {watch->fd, watch->events, 0};
        polled[count++] = weak;
        if (&*kept != &weak) *kept = std::move(weak);
        ++kept;
    }
    watches_.erase(kept, watches_.end());
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(timeout / 1'000'000'000);
    wait.tv_nsec = static_cast<long>(timeout % 1'000'000'000);
    const int ready = ::ppoll(fds.data(), count, &wait, nullptr);
    if (ready <= 0) return;
    if (fds[0].revents) {
        std::uint64_t wakes = 0;
        [[maybe_unused]] const auto got = ::read(wakeFd_, &wakes, sizeof wakes);
    }
    for (std::size_t index = 1; index < count; ++index) {
        const short revents = fds[index].revents;
        if (!revents) continue;
        // Held while its handler runs, which may drop it or run a nested turn.
        const auto watch = polled[index].lock();
        if (watch && !watch->ended) dispatch(*watch, revents);
    }
}

void RunLoop::dispatch(FileWatch& watch, short revents) {
    if (revents & (POLLHUP | POLLNVAL)) {
        watch.ended = true;
        if (revents & POLLNVAL) {
            log_.error("Descriptor %d was closed while watched; it is watched no more", watch.fd);
        } else {
            log_.info("Descriptor %d hung up; it is watched no more", watch.fd);
        }
    }
    if (watch.handler) watch.handler(revents);
}

void RunLoop::runOnce(double maxWaitSeconds) {
    if (clock_->isVirtual()) {
        runUntil(now());
        return;
    }
    drainIncoming();
    runBeforeWaitHooks();
    const Nanoseconds untilDeadline = nextDeadline() - now();
    const Nanoseconds limit = nanosecondsFromSeconds(maxWaitSeconds);
    waitForWork(std::max<Nanoseconds>(0, std::min(untilDeadline, limit)));
    runTurn();
}

void RunLoop::run() {
    stopped_ = false;
    if (auto* virtualClock = dynamic_cast<VirtualClock*>(clock_.get())) {
        while (!stopped_) {
            runUntil(now());
            const Nanoseconds deadline = nextDeadline();
            if (stopped_ || deadline == std::numeric_limits<Nanoseconds>::max()) break;
            virtualClock->advanceTo(secondsFromNanoseconds(deadline));
        }
        return;
    }
    while (!stopped_) runOnce(3600.0);
}

std::shared_ptr<FileWatch> RunLoop::watch(int fd, short events,
                                          std::function<void(short)> handler) {
    auto watch = std::make_shared<FileWatch>(fd, events, std::move(handler));
    watches_.push_back(watch);
    return watch;
}

std::shared_ptr<BeforeWaitHook> RunLoop::addBeforeWaitHook(std::function<void()> hook) {
    auto handle = std::make_shared<BeforeWaitHook>(std::move(hook));
    beforeWaitHooks_.push_back(handle);
    return handle;
}

void RunLoop::runBeforeWaitHooks() {
    std::erase_if(beforeWaitHooks_, [](const auto& weak) { return weak.expired(); });
    // A hook may add or drop hooks while it runs: walk over a snapshot.
    const auto hooks = beforeWaitHooks_;
    for (const auto& weak : hooks) {
        if (auto live = weak.lock(); live && live->hook) live->hook();
    }
}

void RunLoop::assertMainThread(SourceLocation caller) const {
    if (isMainThread()) return;
    std::fprintf(stderr, "Talvori: %s must run on the main thread\n", caller.function_name());
    std::abort();
}

std::size_t RunLoop::pendingCount() const {
    return posted_.size() + common_.size() + default_.size();
}

}  // namespace talvori

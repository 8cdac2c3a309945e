#include "platform/core/Timer.hpp"

#include <algorithm>

namespace talvori {

namespace {
// Shorter intervals would let a repeating timer spin the loop; the desktop platforms clamp too.
constexpr Nanoseconds kMinimumInterval = 100'000;
}  // namespace

std::shared_ptr<Timer> Timer::scheduledTimer(RunLoop& loop, double interval, bool repeats,
                                             Block block, RunLoopMode mode) {
    const Nanoseconds nanoseconds = std::max(kMinimumInterval, nanosecondsFromSeconds(interval));
    std::shared_ptr<Timer> timer(
        new Timer(loop.weak_from_this(), nanoseconds, repeats, std::move(block), mode));
    timer->scheduleAt(addSaturating(loop.now(), nanoseconds));
    return timer;
}

Timer::Timer(std::weak_ptr<RunLoop> loop, Nanoseconds interval, bool repeats, Block block,
             RunLoopMode mode)
    : loop_(std::move(loop)),
      interval_(interval),
      repeats_(repeats),
      block_(std::move(block)),
      mode_(mode) {}

void Timer::scheduleAt(Nanoseconds due) {
    auto loop = loop_.lock();
    if (!loop) return;
    pending_ = loop->schedule(due, mode_, [self = shared_from_this()] { self->fire(); });
}

void Timer::fire() {
    if (!valid_) return;
    auto loop = loop_.lock();
    if (!loop) return;
    if (repeats_) {
        // A late timer fires once and then keeps to its original beat instead of catching up.
        const Nanoseconds now = loop->now();
        const Nanoseconds missed = std::max<Nanoseconds>(0, now - pending_.due) / interval_;
        scheduleAt(addSaturating(pending_.due, (missed + 1) * interval_));
    }
    firing_ = true;
    auto keepAlive = shared_from_this();
    if (block_) block_(*this);
    firing_ = false;
    if (!repeats_) valid_ = false;
    if (!valid_) block_ = nullptr;
}

void Timer::invalidate() {
    if (!valid_) return;
    valid_ = false;
    if (auto loop = loop_.lock()) loop->cancel(pending_);
    // Releasing the block from inside itself would destroy the running closure; fire() releases it.
    if (!firing_) block_ = nullptr;
}

}  // namespace talvori

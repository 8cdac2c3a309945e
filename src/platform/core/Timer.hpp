#pragma once

#include <functional>
#include <memory>

#include "platform/core/RunLoop.hpp"

namespace talvori {

// A one-shot or repeating timer on a run loop. The run loop keeps a scheduled timer alive until it
// is invalidated (or, one-shot, has fired), so owners invalidate their timers when they go away and
// blocks capture their owner weakly.
class Timer : public std::enable_shared_from_this<Timer> {
  public:
    using Block = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduledTimer(RunLoop& loop, double interval, bool repeats,
                                                 Block block,
                                                 RunLoopMode mode = RunLoopMode::defaultMode);

    // Stops the timer for good. Safe to call twice and from inside the timer's own block.
    void invalidate();
    bool isValid() const { return valid_; }
    double interval() const { return secondsFromNanoseconds(interval_); }

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

  private:
    Timer(std::weak_ptr<RunLoop> loop, Nanoseconds interval, bool repeats, Block block,
          RunLoopMode mode);
    void scheduleAt(Nanoseconds due);
    void fire();

    std::weak_ptr<RunLoop> loop_;
    Nanoseconds interval_;
    bool repeats_;
    Block block_;
    RunLoopMode mode_;
    ScheduledWork pending_{};
    bool valid_ = true;
    bool firing_ = false;
};

}  // namespace talvori

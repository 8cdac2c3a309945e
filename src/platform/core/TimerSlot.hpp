#pragma once

#include <memory>
#include <utility>

#include "platform/core/Timer.hpp"

namespace talvori {

// Where an owner keeps a timer it must stop: replacing the timer, clearing the slot or destroying
// it invalidates the timer it held, so an owner that goes away leaves no timer running behind it.
// Like TaskSlot, the slot stays non-empty after a one-shot timer has fired, until it is cleared.
// Any type with invalidate() can be kept, so that a stand-in for a timer is owned the same way.
//
//     frameTimer_.replace(Timer::scheduledTimer(loop, interval, true, weakly(weak, &Host::tick)));
template <class T>
class BasicTimerSlot {
  public:
    BasicTimerSlot() = default;
    BasicTimerSlot(const BasicTimerSlot&) = delete;
    BasicTimerSlot& operator=(const BasicTimerSlot&) = delete;
    ~BasicTimerSlot() { clear(); }

    void replace(std::shared_ptr<T> timer) {
        // Taken out first, so that whatever the old timer's invalidation sets off finds the slot
        // already holding the new one.
        auto old = std::exchange(timer_, std::move(timer));
        if (old) old->invalidate();
    }
    // Invalidates and forgets the timer. Safe from inside the timer's own block.
    void clear() { replace(nullptr); }
    bool isEmpty() const { return timer_ == nullptr; }
    T* get() const { return timer_.get(); }

  private:
    std::shared_ptr<T> timer_;
};

using TimerSlot = BasicTimerSlot<Timer>;

}  // namespace talvori

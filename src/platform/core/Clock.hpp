#pragma once

#include <functional>

#include "platform/core/Time.hpp"

namespace talvori {

// The source of time for everything in the program. Code never reads std::chrono clocks itself, so
// that tests can run on virtual time.
class Clock {
  public:
    virtual ~Clock() = default;

    // Continuous monotonic time since an arbitrary origin.
    virtual Nanoseconds nowNanoseconds() const = 0;
    // Wall-clock date, seconds since 1970-01-01 UTC.
    virtual double date() const = 0;
    virtual bool isVirtual() const = 0;

    double now() const { return secondsFromNanoseconds(nowNanoseconds()); }
};

class RealClock final : public Clock {
  public:
    Nanoseconds nowNanoseconds() const override;
    double date() const override;
    bool isVirtual() const override { return false; }
};

// Time that moves only when a test moves it. Advancing runs, through the attached run loop, every
// piece of work that falls due on the way, each at its own due time.
class VirtualClock final : public Clock {
  public:
    // 2027-01-01 00:00:00 UTC: a fixed date keeps date-dependent output identical between runs.
    static constexpr double kDefaultStartDate = 1798761600.0;

    explicit VirtualClock(double startDate = kDefaultStartDate) : startDate_(startDate) {}

    Nanoseconds nowNanoseconds() const override { return now_; }
    double date() const override { return startDate_ + secondsFromNanoseconds(now_); }
    bool isVirtual() const override { return true; }

    // Runs everything due up to and including now + seconds, in time order, then stops there.
    void advance(double seconds);
    void advanceTo(double time);
    // Runs everything that is due now, including work that this work posts for the next turn.
    void runUntilIdle();

    // The run loop that owns the due work; it also moves the clock while it runs that work.
    using Driver = std::function<void(Nanoseconds target)>;
    void setDriver(Driver driver) { driver_ = std::move(driver); }
    void setNow(Nanoseconds now);

  private:
    double startDate_;
    Nanoseconds now_ = 0;
    Driver driver_;
};

}  // namespace talvori

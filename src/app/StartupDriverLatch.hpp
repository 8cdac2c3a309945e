#pragma once

#include <functional>

namespace talvori {

// Fires the start-up decision exactly once: after both the first evaluation of the application's
// body (which arms it) and the end of launching, whichever comes last. Only the latest armed
// drive runs; once fired, later drives are dropped.
class StartupDriverLatch {
  public:
    using Drive = std::function<void()>;

    void arm(Drive drive);
    void finishLaunching();

    bool didFinishLaunching() const { return didFinishLaunching_; }
    bool hasFired() const { return hasFired_; }
    bool hasPendingDrive() const { return static_cast<bool>(pendingDrive_); }

  private:
    void fire();

    Drive pendingDrive_;
    bool didFinishLaunching_ = false;
    bool hasFired_ = false;
};

}  // namespace talvori

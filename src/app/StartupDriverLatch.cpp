#include "app/StartupDriverLatch.hpp"

#include <utility>

namespace talvori {

void StartupDriverLatch::arm(Drive drive) {
    if (hasFired_) return;
    pendingDrive_ = std::move(drive);
    if (didFinishLaunching_) fire();
}

void StartupDriverLatch::finishLaunching() {
    didFinishLaunching_ = true;
    if (hasFired_ || !pendingDrive_) return;
    fire();
}

void StartupDriverLatch::fire() {
    hasFired_ = true;
    // Taken out before it runs: the drive must find the latch already fired and empty.
    auto drive = std::exchange(pendingDrive_, nullptr);
    drive();
}

}  // namespace talvori

#pragma once

#include <functional>

#include "app/StartupDriverLatch.hpp"
#include "platform/desktop/ApplicationDelegate.hpp"

namespace talvori {

// The application object's delegate: it starts the decision latch when launching ends, and decides
// whether closing the last window quits: not while the start-up decision is pending, and never
// once the runtime runs (so closing the first-run window before that quits the application).
class AppDelegate final : public ApplicationDelegate {
  public:
    AppDelegate();

    // Set by the application's body; both answer false until then and once their target is gone.
    std::function<bool()> isRuntimeRunning = [] { return false; };
    std::function<bool()> isStartupDecisionPending = [] { return false; };
    // Shows the running application to someone who started it again.
    std::function<void()> showRunningApplication = [] {};
    StartupDriverLatch startupDriverLatch;

    void applicationDidFinishLaunching() override;
    bool applicationShouldTerminateAfterLastWindowClosed() override;
    void applicationShouldHandleReopen() override;
};

}  // namespace talvori

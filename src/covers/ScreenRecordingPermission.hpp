#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/core/TimerSlot.hpp"

namespace talvori {

// Whether this program may read other applications' window names (the screen recording grant),
// and a wait that polls until it may or a minute passes. Main thread only.
class ScreenRecordingPermission : public std::enable_shared_from_this<ScreenRecordingPermission> {
  public:
    using Completion = std::function<void(bool granted)>;

    static constexpr double pollInterval = 1.0;
    static constexpr double pollLimit = 60;

    // The one instance of the program, owned by the platform.
    static const std::shared_ptr<ScreenRecordingPermission>& shared();
    static std::shared_ptr<ScreenRecordingPermission> makeShared();
    static std::shared_ptr<ScreenRecordingPermission> create();
    ScreenRecordingPermission(const ScreenRecordingPermission&) = delete;
    ScreenRecordingPermission& operator=(const ScreenRecordingPermission&) = delete;

    // True when some on-screen window of another process carries a name (the empty one counts).
    // An unreadable window list counts as not granted.
    bool isGranted() const;
    // Granted: completion(true) at once. Otherwise starts the wait, or restarts its count when one
    // is going; every waiting completion is called once, with the outcome, when the wait ends.
    void waitForGrant(Completion completion);
    // One tick of the wait.
    void poll();

    bool isWaiting() const { return !pollTimer_.isEmpty(); }

  private:
    ScreenRecordingPermission() = default;

    TimerSlot pollTimer_;
    double pollElapsed_ = 0;
    std::vector<Completion> pollCompletions_;
};

}  // namespace talvori

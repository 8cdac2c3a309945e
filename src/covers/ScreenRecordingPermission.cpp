#include "covers/ScreenRecordingPermission.hpp"

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

const std::shared_ptr<ScreenRecordingPermission>& ScreenRecordingPermission::shared() {
    return platform().service<ScreenRecordingPermission>();
}

std::shared_ptr<ScreenRecordingPermission> ScreenRecordingPermission::makeShared() {
    return create();
}

std::shared_ptr<ScreenRecordingPermission> ScreenRecordingPermission::create() {
    return std::shared_ptr<ScreenRecordingPermission>(new ScreenRecordingPermission());
}

bool ScreenRecordingPermission::isGranted() const {
    const auto windows = platform().windowList().copyWindowInfo(
        WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    if (!windows) return false;
    const std::int32_t ownPID = platform().workspace().processIdentifier();
    for (const auto& window : *windows) {
        if (window.ownerPID && *window.ownerPID != ownPID && window.name) return true;
    }
    return false;
}

void ScreenRecordingPermission::waitForGrant(Completion completion) {
    if (isGranted()) {
        completion(true);
        return;
    }
    // Reading the list is what makes the system ask the user for the grant.
    (void)platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly);
    pollElapsed_ = 0;
    // An earlier waiter keeps waiting: two smart covers may wait for the same grant.
    pollCompletions_.push_back(std::move(completion));
    pollTimer_.replace(
        Timer::scheduledTimer(platform().runLoop(), pollInterval, true,
                              weakly(weak_from_this(), &ScreenRecordingPermission::poll)));
}

void ScreenRecordingPermission::poll() {
    pollElapsed_ += pollInterval;
    const bool granted = isGranted();
    if (!granted && pollElapsed_ < pollLimit) return;
    pollTimer_.clear();
    // Taken first, so that a completion that waits again starts a wait of its own.
    auto completions = std::exchange(pollCompletions_, {});
    for (auto& completion : completions) completion(granted);
}

}  // namespace talvori

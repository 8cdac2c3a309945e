#include "covers/ScreenRecordingPermission.hpp"

#include "covers/PlatformShared.hpp"
#include "platform/Platform.hpp"

namespace talvori {

const std::shared_ptr<ScreenRecordingPermission>& ScreenRecordingPermission::shared() {
    static PlatformShared<ScreenRecordingPermission> instance(create);
    return instance.get();
}

std::shared_ptr<ScreenRecordingPermission> ScreenRecordingPermission::create() {
    return std::shared_ptr<ScreenRecordingPermission>(new ScreenRecordingPermission());
}

ScreenRecordingPermission::~ScreenRecordingPermission() {
    if (pollTimer_) pollTimer_->invalidate();
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
    if (pollTimer_) pollTimer_->invalidate();
    pollTimer_ = Timer::scheduledTimer(platform().runLoop(), pollInterval, true,
                                       [weak = weak_from_this()](Timer&) {
                                           if (auto self = weak.lock()) self->poll();
                                       });
}

void ScreenRecordingPermission::poll() {
    pollElapsed_ += pollInterval;
    const bool granted = isGranted();
    if (!granted && pollElapsed_ < pollLimit) return;
    if (auto timer = std::exchange(pollTimer_, nullptr)) timer->invalidate();
    // Taken first, so that a completion that waits again starts a wait of its own.
    auto completions = std::exchange(pollCompletions_, {});
    for (auto& completion : completions) completion(granted);
}

}  // namespace talvori

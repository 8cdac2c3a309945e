#include "covers/AccessibilityWait.hpp"

#include "covers/PermissionManager.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

namespace {

// One pending wait: the polling run that serves it, once it has started.
struct PermissionWaitRequest {
    std::optional<UUID> pollID;
};

// Runs after a waiting task was cancelled: awaits the preparation hook, then ends the run that
// served the wait, unless that run is already over or was replaced.
Async endCancelledWait(std::weak_ptr<PermissionManager> weak,
                       std::shared_ptr<PermissionWaitRequest> request) {
    PermissionManager::BeforeCancellation prepare;
    if (auto manager = weak.lock()) prepare = manager->beforeCancellation;
    if (prepare) {
        co_await Task::withContinuation<bool>(
            [prepare](Continuation<bool> done) { prepare([done] { done.resume(true); }); });
    }
    auto manager = weak.lock();
    if (manager && request->pollID) manager->finishPoll(*request->pollID, false);
}

}  // namespace

bool AccessibilityWait::await_ready() {
    auto manager = manager_.lock();
    if (!manager || Task::isCurrentCancelled()) {
        immediate_ = false;
    } else if (manager->accessibilityCheck()) {
        immediate_ = true;
    }
    return immediate_.has_value();
}

void AccessibilityWait::await_suspend(std::coroutine_handle<> handle) {
    if (auto manager = manager_.lock()) manager->accessibilityPrompt();
    auto request = std::make_shared<PermissionWaitRequest>();
    continuation_.begin = [weak = manager_, request](Continuation<bool> continuation) {
        // Cancellation may come from anywhere; it only starts a main-thread task.
        Task::setCancellationHandler([weak, request] {
            (void)Task::start(platform().runLoop(), [weak, request]() -> Async {
                return endCancelledWait(weak, request);
            });
        });
        const bool polling =
            !Task::isCurrentCancelled() && withOwner(weak, [&](PermissionManager& manager) {
                request->pollID = manager.pollForAccessibility(
                    [continuation](bool granted) { continuation.resume(granted); });
            });
        if (!polling) continuation.resume(false);
    };
    continuation_.await_suspend(handle);
}

bool AccessibilityWait::await_resume() {
    if (immediate_) return *immediate_;
    Task::setCancellationHandler(nullptr);
    return continuation_.await_resume();
}

}  // namespace talvori

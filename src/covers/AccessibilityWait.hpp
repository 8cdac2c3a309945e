#pragma once

#include <coroutine>
#include <memory>
#include <optional>

#include "platform/core/Task.hpp"

namespace talvori {

class PermissionManager;

// What `co_await manager->waitForAccessibility()` waits on: true as soon as the process is
// trusted for Accessibility, false on time-out or when the waiting task is cancelled.
class AccessibilityWait {
  public:
    explicit AccessibilityWait(std::weak_ptr<PermissionManager> manager)
        : manager_(std::move(manager)) {}

    bool await_ready();
    void await_suspend(std::coroutine_handle<> handle);
    bool await_resume();

  private:
    std::weak_ptr<PermissionManager> manager_;
    std::optional<bool> immediate_;
    Task::ContinuationAwaiter<bool> continuation_;
};

}  // namespace talvori

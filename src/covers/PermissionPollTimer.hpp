#pragma once

namespace talvori {

// The repeating timer of an Accessibility polling run, held only through this interface so that
// any other timer can stand in for it.
class PermissionPollTimer {
  public:
    virtual ~PermissionPollTimer() = default;
    // Stops the timer for good.
    virtual void invalidate() = 0;
};

}  // namespace talvori

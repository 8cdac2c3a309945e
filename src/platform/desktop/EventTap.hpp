#pragma once

#include <functional>

#include "platform/desktop/Event.hpp"

namespace talvori {

// A listen-only tap on the session's event stream: it sees the events of its mask anywhere on
// screen, aimed at any process, before they are delivered, and cannot change them. When the system
// switches the tap off (it took too long, or the user's input did), the callback receives a
// tapDisabledByTimeout or tapDisabledByUserInput event and the tap stays off until enabled again.
class EventTap {
  public:
    using Callback = std::function<void(const Event&)>;

    EventTap(EventMask mask, Callback callback) : mask_(mask), callback_(std::move(callback)) {}
    virtual ~EventTap() = default;
    EventTap(const EventTap&) = delete;
    EventTap& operator=(const EventTap&) = delete;

    EventMask mask() const { return mask_; }
    void setEnabled(bool enabled) { enabled_ = enabled && valid_; }
    bool isEnabled() const { return enabled_; }
    // Removes the tap from the run loop for good: no callback runs after this returns.
    void invalidate();
    bool isValid() const { return valid_; }

    // Called by the backend with each event that passes the session.
    void deliver(const Event& event);
    // Called by the backend when the system switches the tap off.
    void disable(EventType reason);

  private:
    EventMask mask_;
    Callback callback_;
    bool enabled_ = true;
    bool valid_ = true;
};

}  // namespace talvori

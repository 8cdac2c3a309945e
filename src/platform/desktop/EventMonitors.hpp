#pragma once

#include <functional>
#include <optional>

#include "platform/core/CallbackList.hpp"
#include "platform/desktop/Input.hpp"

namespace talvori {

// The local and global event monitors of an input backend, and which of them see an event.
class EventMonitors {
  public:
    // `onRemove` runs once the registration has ended.
    Registration addLocal(EventMask mask, Input::LocalMonitor monitor,
                          std::function<void()> onRemove = {});
    Registration addGlobal(EventMask mask, Input::GlobalMonitor monitor,
                           std::function<void()> onRemove = {});

    // Passes `event` through the local monitors of its type in the order they were added, each
    // receiving what the one before returned; nothing once one swallowed it.
    std::optional<Event> runLocal(Event event) const;
    // Shows `event` to the global monitors of its type.
    void runGlobal(const Event& event) const;
    // The events any global monitor wants.
    EventMask globalMask() const;

  private:
    template <class Handler>
    struct Monitor {
        EventMask mask = 0;
        Handler handler;
    };

    CallbackList<Monitor<Input::LocalMonitor>> local_;
    CallbackList<Monitor<Input::GlobalMonitor>> global_;
};

}  // namespace talvori

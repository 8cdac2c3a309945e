#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/core/Registration.hpp"
#include "platform/desktop/Cursor.hpp"
#include "platform/desktop/Event.hpp"
#include "platform/desktop/EventTap.hpp"

namespace talvori {

// The user's pointer and keyboard as the program sees them.
class Input {
  public:
    // Returns the event to pass on (possibly another one), or nothing to swallow it.
    using LocalMonitor = std::function<std::optional<Event>(const Event&)>;
    using GlobalMonitor = std::function<void(const Event&)>;

    virtual ~Input() = default;

    // The pointer's location in the global space (y up): while an event is handled, where that
    // event happened; otherwise where it is now.
    virtual Point mouseLocation() const = 0;
    // The modifier keys held right now (device-independent flags).
    virtual std::uint64_t modifierFlags() const = 0;

    // Sees every event of `mask` that our application is about to dispatch, before its windows do.
    // Monitors run in the order they were added, each receiving what the one before returned; a
    // swallowed event reaches no further monitor and no window. Empty when refused.
    virtual Registration addLocalMonitor(EventMask mask, LocalMonitor monitor) = 0;
    // Sees, without changing them, the events of `mask` delivered to other processes (a click
    // through one of our mouse-transparent panels onto another process's window counts). Never our
    // own events. Empty when refused.
    virtual Registration addGlobalMonitor(EventMask mask, GlobalMonitor monitor) = 0;
    // A listen-only tap at the head of the session's event stream; null when refused.
    virtual std::shared_ptr<EventTap> makeListenOnlyEventTap(EventMask mask,
                                                             EventTap::Callback callback) = 0;

    // Shows `cursor` now; nothing is cached, each call sets it again.
    virtual void setCursor(const Cursor& cursor) = 0;

    // The keyboard's repeat settings, in seconds.
    virtual double keyRepeatDelay() const = 0;
    virtual double keyRepeatInterval() const = 0;
};

}  // namespace talvori

#pragma once

#include <functional>
#include <optional>

#include "platform/core/Registration.hpp"
#include "platform/desktop/Event.hpp"

namespace GlobalShortcuts {

// A monitor of the events of `events` that the application is about to dispatch, that can be
// started and stopped. The callback returns the event to pass on (the same, another one, or none
// to swallow it). Used on the main thread; going away stops it.
class LocalEventMonitor {
  public:
    using Callback = std::function<std::optional<talvori::Event>(const talvori::Event&)>;

    LocalEventMonitor(talvori::EventMask events, Callback callback)
        : events_(events), callback_(std::move(callback)) {}
    ~LocalEventMonitor();
    LocalEventMonitor(const LocalEventMonitor&) = delete;
    LocalEventMonitor& operator=(const LocalEventMonitor&) = delete;

    // Installs the monitor unless it is installed; stays stopped when the platform refuses.
    LocalEventMonitor& start();
    void stop() { monitor_.reset(); }
    bool isStarted() const { return static_cast<bool>(monitor_); }

  private:
    talvori::EventMask events_;
    Callback callback_;
    talvori::Registration monitor_;
};

}  // namespace GlobalShortcuts

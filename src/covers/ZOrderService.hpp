#pragma once

#include <cstdint>
#include <memory>

#include "platform/core/Registration.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/desktop/AXElement.hpp"
#include "platform/desktop/Panel.hpp"

namespace talvori {

// Keeps an attached cover in smart z-order: at the normal window level, directly above its target
// window, so that windows brought in front of the target also come in front of the cover. It
// reorders when applications are activated and on clicks, and, with the screen recording grant,
// checks the window order four times a second; when three checks in a row find the cover behind
// its target it gives up and floats the cover until the target is activated again. Started while
// another application is in front, it leaves the cover in front of the windows it covers until the
// next activation. Main thread only.
class ZOrderService : public std::enable_shared_from_this<ZOrderService> {
  public:
    static constexpr double kCheckInterval = 0.25;
    static constexpr int maxConsecutiveFailures = 3;

    static std::shared_ptr<ZOrderService> create(std::weak_ptr<Panel> panel, std::int32_t targetPID,
                                                 AXElement targetElement);
    // Removes the monitor and the timer, which their handles do.
    ~ZOrderService() = default;
    ZOrderService(const ZOrderService&) = delete;
    ZOrderService& operator=(const ZOrderService&) = delete;

    // Begins keeping the cover above its target; a second call does nothing.
    void start();
    // Ends it; the panel's level is left as it is.
    void stop();
    // The target application became active (true) or another one did (false).
    void targetActivationChanged(bool active);
    // One check of the window order (the timer calls it).
    void checkOrder();

    std::int32_t targetPID() const { return targetPID_; }
    const AXElement& targetElement() const { return targetElement_; }
    std::uint32_t targetWindowID() const { return targetWindowID_; }
    std::uint32_t overlayWindowID() const { return overlayWindowID_; }
    int consecutiveFailures() const { return consecutiveFailures_; }
    bool isEscalated() const { return isEscalated_; }
    bool isTargetActive() const { return isTargetActive_; }
    bool isRunning() const { return isRunning_; }
    bool isChecking() const { return !zOrderTimer_.isEmpty(); }
    bool hasMouseMonitor() const { return static_cast<bool>(mouseMonitor_); }

  private:
    ZOrderService(std::weak_ptr<Panel> panel, std::int32_t targetPID, AXElement targetElement);

    void resolveWindowIDs();
    void installMouseMonitor();
    void removeMouseMonitor();
    void startZOrderTimer();
    void stopZOrderTimer();
    void escalateIfNeeded();
    void orderAboveTarget();
    void setPanelLevel(int level);

    std::weak_ptr<Panel> panel_;
    std::int32_t targetPID_;
    AXElement targetElement_;
    std::uint32_t targetWindowID_ = 0;
    std::uint32_t overlayWindowID_ = 0;
    Registration mouseMonitor_;
    TimerSlot zOrderTimer_;
    int consecutiveFailures_ = 0;
    bool isEscalated_ = false;
    bool isTargetActive_ = false;
    bool isRunning_ = false;
};

}  // namespace talvori

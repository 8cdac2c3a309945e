#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "focus/EligibleFocusWindow.hpp"
#include "focus/FocusDecision.hpp"
#include "focus/FocusSnapshot.hpp"
#include "focus/SpotlightEffect.hpp"
#include "focus/SpotlightPanelManager.hpp"
#include "focus/TransientWindow.hpp"
#include "platform/core/Logger.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"
#include "platform/core/Task.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/desktop/AXElement.hpp"
#include "platform/desktop/AXObserver.hpp"
#include "platform/desktop/Event.hpp"

namespace talvori {

class PermissionManager;

// The Focus engine. While Focus mode is on it keeps the dimming panel directly below the window
// the user works in (the shade anchor), learning where focus is from an Accessibility observer on
// the frontmost application, the workspace's activation notice, a global mouse-down monitor and a
// safety-net timer, all settled through one decision. Each focus event is looked at again after
// 16 ms and, when the decision had to hold the older anchor, after 120 ms: the window list can lag
// behind the focus it reports. It also holds the six Focus settings and their keyboard steps.
class SpotlightController : public std::enable_shared_from_this<SpotlightController> {
  public:
    using EligibleFocusWindow = talvori::EligibleFocusWindow;
    using TransientWindow = talvori::TransientWindow;

    static constexpr double kReconcileDelay = 0.016;
    static constexpr double kSlowReconcileDelay = 0.12;
    static constexpr double kActivationRetryDelay = 0.5;
    static constexpr double kSafetyNetInterval = 2.5;
    static constexpr EventMask kMouseDownMask =
        eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::rightMouseDown);

    // Loads the stored settings.
    static std::shared_ptr<SpotlightController> create(
        std::shared_ptr<SpotlightPanelManager> panelManager,
        std::shared_ptr<PermissionManager> permissionManager,
        std::shared_ptr<UserDefaults> defaults);
    ~SpotlightController();
    SpotlightController(const SpotlightController&) = delete;
    SpotlightController& operator=(const SpotlightController&) = delete;

    // ---- State (reads are observable)
    bool isActive() const { return isActive_.get(); }
    const std::optional<std::string>& focusedAppName() const { return focusedAppName_.get(); }
    // The window the panel sits directly below; 0 for none.
    std::uint32_t shadeAnchorWindowID() const { return shadeAnchorWindowID_.get(); }
    // Called with true right after Focus turns on, with false as the last step of turning off.
    std::function<void(bool)> onActiveChange;
    // Called with each decision on the shade anchor (none included), before it is carried out.
    std::function<void(const FocusDecision&)> onDecision;

    SpotlightPanelManager& panelManager() const { return *panelManager_; }
    PermissionManager& permissionManager() const { return *permissionManager_; }

    // ---- Settings
    double dimOpacity() const { return dimOpacity_.get(); }
    double glassOpacity() const { return glassOpacity_.get(); }
    bool glassOpacityLinked() const { return glassOpacityLinked_.get(); }
    SpotlightEffect effect() const { return effect_.get(); }
    double blurRadius() const { return blurRadius_.get(); }
    double fadeDuration() const { return fadeDuration_.get(); }
    // The Dim opacity while Glass is linked to it.
    double effectiveGlassOpacity() const;
    // The tint alpha the panel shows in the current effect.
    double currentOpacity() const;

    void loadSettings();
    void saveSettings();
    void setDimOpacity(double opacity);
    // Clamped to 0...1; unlinks Glass from Dim.
    void setGlassOpacity(double opacity);
    void setEffect(SpotlightEffect effect);
    void setBlurRadius(double radius);
    void setFadeDuration(double seconds);
    // One opacity step (and, in Glass, one blur step) with spoken feedback; only while on.
    void adjustFocus(bool stronger);
    // One blur step in Glass; in Dim only says that blur belongs to Glass. Only while on.
    void adjustBlur(bool more);

    // ---- Turning on and off
    // Asks for Accessibility trust and turns Focus on once it is granted; a request already
    // waiting is left to finish.
    void requestAccessibilityAndActivate();
    // Turns Focus on; Accessibility trust must be there. Nothing while already on.
    void activate();
    // Turns Focus off and removes every observer, monitor, timer and task.
    void deactivate();

    // ---- What is installed, for those who look
    bool isWaitingForAccessibility() const { return !accessibilityRequestTask_.isEmpty(); }
    bool hasFocusObserver() const { return focusObserver_ != nullptr; }
    std::int32_t focusObserverPID() const { return focusObserverPID_; }
    bool hasWorkspaceObserver() const { return static_cast<bool>(workspaceObserver_); }
    bool hasMouseMonitor() const { return static_cast<bool>(mouseMonitor_); }
    bool hasSafetyTimer() const { return !safetyTimer_.isEmpty(); }
    bool hasReconcileTask() const { return !reconcileTask_.isEmpty(); }
    bool hasSlowReconcileTask() const { return !slowReconcileTask_.isEmpty(); }
    // Whether a look at the windows is still to come: a finished one stays in its slot.
    bool hasPendingLook() const {
        return isPending(reconcileTask_) || isPending(slowReconcileTask_);
    }

    // ---- The shade-anchor decision each focus source goes through
    // The windows on screen now; absent when the window list or a screen is missing.
    std::optional<FocusSnapshot> focusSnapshot(std::optional<std::uint32_t> candidate) const;
    // Decides on `candidate` and moves the panel accordingly; true when the older anchor had to
    // be held, which asks for a slower second look.
    bool updateShadeAnchor(std::optional<std::uint32_t> candidate, const FocusSnapshot& snapshot,
                           const std::string& label, bool allowFade);

  private:
    static bool isPending(const TaskSlot& slot) {
        return !slot.isEmpty() && !slot.task().isFinished() && !slot.task().isCancelled();
    }
    SpotlightController(std::shared_ptr<SpotlightPanelManager> panelManager,
                        std::shared_ptr<PermissionManager> permissionManager,
                        std::shared_ptr<UserDefaults> defaults);

    // Settings
    void refreshPanel();
    void changeSetting(const std::function<void()>& change);
    void animateCurrentAppearance();

    // Focus sources and follow-ups
    void refreshFocus(const std::string& label, bool allowFade);
    void renewPanel();
    void scheduleReconcile(const std::string& reason, bool allowFade);
    void scheduleSlowReconcile(const std::string& reason, bool allowFade);
    void reconcile(const std::string& reason, bool allowFade);
    void slowReconcile(const std::string& reason, bool allowFade);
    void scheduleActivationRetry();
    // Refreshes the anchor once attached when `refresh`.
    void attachFocusObserver(bool refresh);
    void detachFocusObserver();
    void handleFocusNotification(const AXElement& element, const std::string& notification);
    void installWorkspaceObserver();
    void removeWorkspaceObserver();
    void installMouseMonitor();
    void removeMouseMonitor();
    void installSafetyTimer();
    void handleMouseDown();
    void predictFocusFromMouse(std::uint32_t windowID);
    void safetyNetTick();
    std::optional<std::int32_t> frontmostApplicationPID() const;
    // The candidate for an update without one of its own: the frontmost application's front
    // window.
    std::optional<std::uint32_t> frontmostCandidate(const FocusSnapshot& snapshot) const;

    // The shade anchor
    void report(ShadeAnchorDecision::Kind kind, const std::string& source, std::uint32_t window);
    void applyFocus(const EligibleFocusWindow& window, std::uint32_t replaced,
                    const FocusSnapshot& snapshot, bool allowFade);

    // Runs `body` on the controller after `seconds`, in `slot`, unless cancelled meanwhile.
    void startDelayed(TaskSlot& slot, double seconds,
                      std::function<void(SpotlightController&)> body);

    const std::shared_ptr<SpotlightPanelManager> panelManager_;
    const std::shared_ptr<PermissionManager> permissionManager_;
    const std::shared_ptr<UserDefaults> defaults_;
    Logger log_;

    Observable<bool> isActive_{false};
    Observable<double> dimOpacity_;
    Observable<double> glassOpacity_;
    Observable<bool> glassOpacityLinked_;
    Observable<SpotlightEffect> effect_;
    Observable<double> blurRadius_;
    Observable<double> fadeDuration_;
    Observable<std::optional<std::string>> focusedAppName_;
    Observable<std::uint32_t> shadeAnchorWindowID_{0};

    std::shared_ptr<AXObserver> focusObserver_;
    std::int32_t focusObserverPID_ = 0;
    // The wake-up of the loop in which a window notice last settled the anchor on its window.
    std::optional<std::uint64_t> noticeCommitWakeUp_;
    Registration workspaceObserver_;
    Registration mouseMonitor_;
    // While Focus is on: what ends the gathering of the window server's news after a switch.
    Registration switchNews_;
    // The stored settings read again when another writer of the settings file changes them.
    Registration storedSettings_;
    TimerSlot safetyTimer_;
    // The 16 ms reconcile and the 0.5 s retry after turning on share one slot.
    TaskSlot reconcileTask_;
    TaskSlot slowReconcileTask_;
    TaskSlot accessibilityRequestTask_;
    // Tells a finished permission wait whether the slot still holds it.
    Generation accessibilityRequestGeneration_;
};

}  // namespace talvori

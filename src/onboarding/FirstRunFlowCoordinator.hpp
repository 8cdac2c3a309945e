#pragma once

#include <functional>
#include <memory>

#include "onboarding/FirstRunStep.hpp"
#include "platform/core/Observation.hpp"
#include "session/PreRuntimeShortcutGate.hpp"

namespace talvori {

class FirstRunRuntimeStartEffect;
class WindowManager;

// The state behind the first-run window: the page it shows, the global shortcuts switched off
// once when it first shows (nothing may answer them before the runtime runs), and the completion
// that starts the runtime. After completion every further step change and completion is ignored.
// Main thread only.
class FirstRunFlowCoordinator {
  public:
    using CompletionAction = std::function<void(const std::shared_ptr<WindowManager>&)>;

    FirstRunFlowCoordinator(FirstRunStep step, std::function<bool()> hasCompletedOnboarding,
                            std::shared_ptr<FirstRunRuntimeStartEffect> runtimeStartEffect,
                            PreRuntimeShortcutGate shortcutGate,
                            std::function<void(bool)> onFlowActivityChanged);
    FirstRunFlowCoordinator(const FirstRunFlowCoordinator&) = delete;
    FirstRunFlowCoordinator& operator=(const FirstRunFlowCoordinator&) = delete;

    // The page shown; written only through goTo.
    const Observable<FirstRunStep>& step() const { return step_; }

    // Once, when the window first shows: switches all seven global shortcuts off unless onboarding
    // is already complete, and reports the flow active either way. Later calls do nothing.
    void startInitialFlow();
    // Moves to `step`; the same step again notifies nobody.
    void goTo(FirstRunStep step);
    // On a finish step, and only once: starts the runtime (or takes the running one), marks the
    // flow complete and inactive, then hands the window manager to `action`. False when it did
    // nothing.
    bool completeFlow(const CompletionAction& action);

    bool hasCompletedFlow() const { return hasCompletedFlow_; }
    bool hasStartedInitialFlow() const { return hasStartedInitialFlow_; }
    bool hasSuppressedPreRuntimeShortcuts() const { return hasSuppressedPreRuntimeShortcuts_; }

  private:
    Observable<FirstRunStep> step_;
    std::function<bool()> hasCompletedOnboarding_;
    std::shared_ptr<FirstRunRuntimeStartEffect> runtimeStartEffect_;
    PreRuntimeShortcutGate shortcutGate_;
    std::function<void(bool)> onFlowActivityChanged_;
    bool hasCompletedFlow_ = false;
    bool hasStartedInitialFlow_ = false;
    bool hasSuppressedPreRuntimeShortcuts_ = false;
};

}  // namespace talvori

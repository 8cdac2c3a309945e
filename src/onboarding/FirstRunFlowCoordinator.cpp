#include "onboarding/FirstRunFlowCoordinator.hpp"

#include "onboarding/FirstRunRuntimeStartEffect.hpp"
#include "platform/Platform.hpp"

namespace talvori {

FirstRunFlowCoordinator::FirstRunFlowCoordinator(
    FirstRunStep step, std::function<bool()> hasCompletedOnboarding,
    std::shared_ptr<FirstRunRuntimeStartEffect> runtimeStartEffect,
    PreRuntimeShortcutGate shortcutGate, std::function<void(bool)> onFlowActivityChanged)
    : step_(step),
      hasCompletedOnboarding_(std::move(hasCompletedOnboarding)),
      runtimeStartEffect_(std::move(runtimeStartEffect)),
      shortcutGate_(std::move(shortcutGate)),
      onFlowActivityChanged_(std::move(onFlowActivityChanged)) {}

void FirstRunFlowCoordinator::startInitialFlow() {
    platform().runLoop().assertMainThread();
    if (hasStartedInitialFlow_) return;
    hasStartedInitialFlow_ = true;
    if (!hasSuppressedPreRuntimeShortcuts_ && !hasCompletedOnboarding_()) {
        hasSuppressedPreRuntimeShortcuts_ = true;
        shortcutGate_.suppressShortcuts();
    }
    if (onFlowActivityChanged_) onFlowActivityChanged_(true);
}

void FirstRunFlowCoordinator::goTo(FirstRunStep step) {
    platform().runLoop().assertMainThread();
    if (hasCompletedFlow_) return;
    // Observable stores only a different step, so the same one causes no refresh.
    step_.set(step);
}

bool FirstRunFlowCoordinator::completeFlow(const CompletionAction& action) {
    platform().runLoop().assertMainThread();
    if (hasCompletedFlow_ || !step_.peek().isFinish()) return false;
    runtimeStartEffect_->countStart();
    const auto windowManager = runtimeStartEffect_->startRuntime();
    hasCompletedFlow_ = true;
    if (onFlowActivityChanged_) onFlowActivityChanged_(false);
    if (action) action(windowManager);
    return true;
}

}  // namespace talvori

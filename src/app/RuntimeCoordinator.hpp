#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/FirstRunFlowWindowPresenting.hpp"
#include "onboarding/FirstRunRuntime.hpp"
#include "platform/core/Generation.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Task.hpp"
#include "platform/desktop/ActivationPolicy.hpp"

namespace talvori {

class ApplicationLifecycleControlling;
class FirstRunWindowPresenting;
class SceneRouting;
class SpotlightController;
class WindowManager;

// The one owner of the running application. It takes the start-up decision (the runtime at once,
// or the first-run window first), makes the single WindowManager, switches between the regular
// activation policy (while the first-run window shows) and the accessory policy (the running
// state), and makes sure the first-run window really reaches the user, asking for their attention
// once if it does not. Main thread only.
class RuntimeCoordinator final : public FirstRunFlowWindowPresenting,
                                 public FirstRunRuntime,
                                 public std::enable_shared_from_this<RuntimeCoordinator> {
  public:
    static constexpr const char* kFirstRunSceneID = "firstRun";
    static constexpr double kAttentionRecheckDelay = 0.8;
    // Sleeps on the continuous clock; a cancelled task's sleep ends early.
    using Sleeper = std::function<Task::SleepAwaiter(double seconds)>;

    static std::shared_ptr<RuntimeCoordinator> create();
    RuntimeCoordinator(const RuntimeCoordinator&) = delete;
    RuntimeCoordinator& operator=(const RuntimeCoordinator&) = delete;
    ~RuntimeCoordinator() override;

    // ---- Observable state
    // Present exactly while the runtime runs; made once, never released.
    Observable<std::shared_ptr<WindowManager>> windowManager;
    // Runtime starts the first-run flow asked for.
    Observable<std::int64_t> startInvocationCount{0};
    // The first-run flow's steps are on screen.
    Observable<bool> isFirstRunFlowActive{false};

    // ---- Collaborators and settings
    std::shared_ptr<SceneRouting> sceneRouter;
    std::function<bool()> hasCompletedOnboarding;
    std::shared_ptr<ApplicationLifecycleControlling> applicationLifecycle;
    std::shared_ptr<FirstRunWindowPresenting> windowPresenter;
    double attentionRecheckDelay = kAttentionRecheckDelay;
    Sleeper attentionRecheckSleeper;

    // ---- State of the first-run window's attention phase
    const std::optional<ActivationPolicy>& appliedActivationPolicy() const {
        return appliedActivationPolicy_;
    }
    bool hasPendingAttentionRecheck() const { return !pendingAttentionRecheck_.isEmpty(); }

    // The start-up decision: the runtime when onboarding is complete, else the first-run window.
    void decideStartup();
    // True until decideStartup() has decided.
    bool isStartupDecisionPending() const { return !hasDecidedStartup_; }
    // Applies the accessory policy, starting the runtime first when none runs.
    std::shared_ptr<WindowManager> startRuntime() override;
    // Opens the first-run window in the regular policy, unless the runtime already runs.
    void presentFirstRunWindow();
    // A no-op for the policy already applied.
    void applyActivationPolicy(ActivationPolicy policy);
    // Attention is asked for at most once while the first-run window shows, and only if the
    // application is still inactive, or the window not key, a moment after it was brought up.
    void scheduleAttentionRecheck();
    std::shared_ptr<SpotlightController> makeSpotlightController() const;

    // ---- FirstRunFlowWindowPresenting
    void adoptFirstRunWindow(const std::shared_ptr<Panel>& window) override;
    bool focusFirstRunWindow() override;

    // ---- FirstRunRuntimeStartEffect
    std::shared_ptr<WindowManager> runningWindowManager() const override {
        return windowManager.peek();
    }
    std::int64_t startCount() const override { return startInvocationCount.peek(); }
    void countStart() override;

    // ---- FirstRunRuntime
    void setFirstRunFlowActive(bool active) override { isFirstRunFlowActive.set(active); }

  private:
    RuntimeCoordinator();
    void recheckAttention(std::uint64_t generation);

    std::optional<ActivationPolicy> appliedActivationPolicy_;
    bool hasRequestedAttention_ = false;
    Generation attentionRecheckGeneration_;
    TaskSlot pendingAttentionRecheck_;
    bool hasDecidedStartup_ = false;
};

}  // namespace talvori

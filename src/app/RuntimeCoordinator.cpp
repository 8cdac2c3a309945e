#include "app/RuntimeCoordinator.hpp"

#include <limits>

#include "app/FirstRunWindowPresenter.hpp"
#include "app/PlatformApplicationLifecycle.hpp"
#include "app/SceneRouting.hpp"
#include "app/WindowManager.hpp"
#include "covers/PermissionManager.hpp"
#include "covers/PresetManager.hpp"
#include "focus/SpotlightController.hpp"
#include "focus/SpotlightPanelManager.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "session/GlobalShortcutsHandler.hpp"

namespace talvori {

namespace {

std::shared_ptr<UserDefaults> standardDefaults() {
    return platform().userDefaults().shared_from_this();
}

}  // namespace

std::shared_ptr<RuntimeCoordinator> RuntimeCoordinator::create() {
    return std::shared_ptr<RuntimeCoordinator>(new RuntimeCoordinator());
}

RuntimeCoordinator::RuntimeCoordinator()
    : hasCompletedOnboarding([] {
          return platform().userDefaults().boolValue("hasCompletedOnboarding").value_or(false);
      }),
      applicationLifecycle(std::make_shared<PlatformApplicationLifecycle>()),
      windowPresenter(std::make_shared<FirstRunWindowPresenter>()),
      attentionRecheckSleeper([](double seconds) { return Task::sleep(seconds); }) {
    platform().runLoop().assertMainThread();
}

RuntimeCoordinator::~RuntimeCoordinator() = default;

void RuntimeCoordinator::decideStartup() {
    if (hasCompletedOnboarding()) {
        startRuntime();
    } else {
        presentFirstRunWindow();
    }
    hasDecidedStartup_ = true;
}

std::shared_ptr<WindowManager> RuntimeCoordinator::startRuntime() {
    if (!windowManager.peek()) {
        auto presetManager =
            std::make_shared<PresetManager>(PresetManager::standardKey, standardDefaults());
        auto spotlight = makeSpotlightController();
        windowManager.set(WindowManager::create(std::move(presetManager), std::move(spotlight),
                                                std::make_shared<GlobalShortcutsHandler>()));
    }
    applyActivationPolicy(ActivationPolicy::accessory);
    return windowManager.peek();
}

std::shared_ptr<SpotlightController> RuntimeCoordinator::makeSpotlightController() const {
    return SpotlightController::create(SpotlightPanelManager::create(), PermissionManager::shared(),
                                       standardDefaults());
}

void RuntimeCoordinator::countStart() {
    const std::int64_t count = startInvocationCount.peek();
    if (count < std::numeric_limits<std::int64_t>::max()) startInvocationCount.set(count + 1);
}

void RuntimeCoordinator::applyActivationPolicy(ActivationPolicy policy) {
    if (appliedActivationPolicy_ == policy) return;
    appliedActivationPolicy_ = policy;
    if (policy == ActivationPolicy::accessory) {
        pendingAttentionRecheck_.clear();
    } else if (policy == ActivationPolicy::regular) {
        // A new phase of the first-run window begins.
        hasRequestedAttention_ = false;
    }
    applicationLifecycle->setActivationPolicy(policy);
}

void RuntimeCoordinator::presentFirstRunWindow() {
    if (windowManager.peek()) return;
    applyActivationPolicy(ActivationPolicy::regular);
    if (sceneRouter) sceneRouter->openWindow(kFirstRunSceneID);
}

void RuntimeCoordinator::adoptFirstRunWindow(const std::shared_ptr<Panel>& window) {
    windowPresenter->setWindow(window);
}

bool RuntimeCoordinator::focusFirstRunWindow() {
    windowPresenter->present();
    const auto window = windowPresenter->window();
    const bool focused = applicationLifecycle->isActive() && window && window->isKeyWindow();
    scheduleAttentionRecheck();
    return focused;
}

void RuntimeCoordinator::scheduleAttentionRecheck() {
    if (appliedActivationPolicy_ != ActivationPolicy::regular || hasRequestedAttention_ ||
        !pendingAttentionRecheck_.isEmpty()) {
        return;
    }
    const std::uint64_t generation = attentionRecheckGeneration_.next();
    pendingAttentionRecheck_.replace(Task::start(
        platform().runLoop(),
        [weak = weak_from_this(), sleep = attentionRecheckSleeper(attentionRecheckDelay),
         generation]() mutable -> Async {
            co_await sleep;
            withOwner(weak, &RuntimeCoordinator::recheckAttention, generation);
        }));
}

void RuntimeCoordinator::recheckAttention(std::uint64_t generation) {
    const bool current = attentionRecheckGeneration_.isCurrent(generation);
    const bool cancelled = Task::isCurrentCancelled();
    // This very task is the one in the slot: clearing it only forgets it.
    if (current) pendingAttentionRecheck_.clear();
    if (cancelled || !current) return;
    if (applicationLifecycle->isActive()) return;
    if (const auto window = windowPresenter->window(); window && window->isKeyWindow()) return;
    if (hasRequestedAttention_) return;
    hasRequestedAttention_ = true;
    applicationLifecycle->requestUserAttention(true);
}

}  // namespace talvori

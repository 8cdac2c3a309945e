#include "onboarding/FirstRunView.hpp"

#include "covers/Palette.hpp"
#include "onboarding/FinishStep.hpp"
#include "onboarding/FirstRunFlowCoordinator.hpp"
#include "onboarding/FirstRunRuntime.hpp"
#include "onboarding/PermissionStep.hpp"
#include "onboarding/StepDots.hpp"
#include "onboarding/WelcomeStep.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "session/PreRuntimeShortcutGate.hpp"

namespace talvori::ui {

namespace {

constexpr const char* kOnboardingKey = FirstRunView::kOnboardingKey;
constexpr std::int64_t kStepCount = 2;
constexpr double kDotsBottomPadding = 28;

using Flow = std::weak_ptr<FirstRunFlowCoordinator>;

std::shared_ptr<FirstRunFlowCoordinator> makeFlow(const std::shared_ptr<FirstRunRuntime>& runtime) {
    return std::make_shared<FirstRunFlowCoordinator>(
        FirstRunStep::welcome(),
        [] { return platform().userDefaults().boolValue(kOnboardingKey).value_or(false); }, runtime,
        PreRuntimeShortcutGate(),
        weakly(std::weak_ptr<FirstRunRuntime>(runtime), &FirstRunRuntime::setFirstRunFlowActive));
}

std::function<void()> goingTo(Flow flow, FirstRunStep step) {
    return weakly(std::move(flow),
                  [step](FirstRunFlowCoordinator& coordinator) { coordinator.goTo(step); });
}

View stepView(const FirstRunStep& step, const Flow& flow, const Environment& environment,
              const AppStorage& hasCompletedOnboarding,
              const std::function<void(const std::shared_ptr<WindowManager>&)>& onComplete) {
    switch (step.kind()) {
        case FirstRunStep::Kind::welcome:
            return WelcomeStep{goingTo(flow, FirstRunStep::permission())};
        case FirstRunStep::Kind::permission:
            return PermissionStep{goingTo(flow, FirstRunStep::finish(FinishVariant::granted)),
                                  goingTo(flow, FirstRunStep::finish(FinishVariant::skipped))};
        case FirstRunStep::Kind::finish:
            break;
    }
    auto grantedInPlace = [toGranted = goingTo(flow, FirstRunStep::finish(FinishVariant::granted)),
                           environment] {
        withAnimation(
            environment.animation(Animation::easeOut(FirstRunView::kStepAnimationDuration)),
            toGranted);
    };
    auto start =
        weakly(flow, [hasCompletedOnboarding, onComplete](FirstRunFlowCoordinator& coordinator) {
            coordinator.completeFlow([&](const std::shared_ptr<WindowManager>& manager) {
                // Stored before anyone hears of the completion: the window's scene decides on it.
                hasCompletedOnboarding.set(true);
                if (onComplete) onComplete(manager);
            });
        });
    return FinishStep{step.finishVariant(), std::move(grantedInPlace), std::move(start)};
}

}  // namespace

View FirstRunView::body(ViewContext<State>& ctx) const {
    if (!ctx.state.flow) ctx.state.flow = makeFlow(runtime);
    const Flow flow = ctx.state.flow;
    const FirstRunStep step = ctx.state.flow->step()();
    // The container is identified by the page alone: the finish page changing its variant stays
    // on screen and only changes inside.
    const View page =
        stepView(step, flow, ctx.environment(), ctx.state.hasCompletedOnboarding, onComplete)
            .frame({.maxWidth = infinity, .maxHeight = infinity})
            .transition(Transition::asymmetric(
                Transition::move(Edge::trailing).combined(Transition::opacity()),
                Transition::move(Edge::leading).combined(Transition::opacity())))
            .id(step.kind());
    const View dots =
        VStack({Spacer(), StepDots{step.kind() == FirstRunStep::Kind::welcome ? 0 : 1, kStepCount}})
            .padding(Edges::bottom, kDotsBottomPadding)
            // Only a picture of where the user is: a tall page may reach under it, and a click
            // there belongs to the page.
            .allowsHitTesting(false);
    return ZStack({View(Color(Palette::ink)), page, dots})
        .frame(kWidth, kHeight)
        .animation(ctx.animation(Animation::easeOut(kStepAnimationDuration)), step)
        .task([flow]() -> Async {
            withOwner(flow, &FirstRunFlowCoordinator::startInitialFlow);
            co_return;
        });
}

}  // namespace talvori::ui

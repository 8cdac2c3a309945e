#include "onboarding/FirstRunView.hpp"

#include "app/PreRuntimeShortcutGate.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "platform/Platform.hpp"

namespace talvori::ui {

namespace {

constexpr const char* kOnboardingKey = "hasCompletedOnboarding";

bool hasCompletedOnboarding() {
    return platform().userDefaults().boolValue(kOnboardingKey).value_or(false);
}

}  // namespace

View FirstRunView::body(ViewContext<State>& ctx) const {
    auto start = [&ctx, runtime = runtime] {
        auto& state = ctx.state;
        if (state.hasStartedInitialFlow) return;
        state.hasStartedInitialFlow = true;
        if (!hasCompletedOnboarding()) PreRuntimeShortcutGate().suppressShortcuts();
        runtime->isFirstRunFlowActive.set(true);
    };
    auto complete = [&ctx, runtime = runtime, onComplete = onComplete] {
        auto& state = ctx.state;
        if (state.hasCompletedFlow) return;
        runtime->countStart();
        auto manager = runtime->startRuntime();
        state.hasCompletedFlow = true;
        runtime->isFirstRunFlowActive.set(false);
        platform().userDefaults().set(kOnboardingKey, true);
        if (onComplete) onComplete(manager);
    };
    const View button =
        Button(complete, Text("Start using Talvori")
                             .font(Font::system(13, FontWeight::semibold))
                             .foregroundColor(Color::rgb255(21, 24, 32))
                             .padding(EdgeInsets{8, 16, 8, 16})
                             .background(RoundedRectangle(8).fill(Color::rgb255(245, 160, 53))));
    return VStack(16, {Text("Talvori").font(Font::system(22, FontWeight::semibold)), button})
        .padding(40)
        .frame({.width = 480})
        .background(Color::rgb255(21, 24, 32))
        .onAppear(start);
}

}  // namespace talvori::ui

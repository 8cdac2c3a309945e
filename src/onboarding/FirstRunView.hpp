#pragma once

#include <functional>
#include <memory>

#include "ui/AppStorage.hpp"
#include "ui/UI.hpp"

namespace talvori {

class FirstRunFlowCoordinator;
class FirstRunRuntime;
class WindowManager;

}  // namespace talvori

namespace talvori::ui {

// The root of the first-run window: the page of the flow on the dark background, sliding from
// one page to the next, with the page dots at the bottom. It switches the global shortcuts off
// when it first shows; when the user finishes it stores that onboarding is complete and hands the
// running window manager to `onComplete`.
struct FirstRunView {
    static constexpr double kWidth = 560;
    static constexpr double kHeight = 500;
    static constexpr double kStepAnimationDuration = 0.25;
    static constexpr const char* kOnboardingKey = "hasCompletedOnboarding";

    std::shared_ptr<FirstRunRuntime> runtime;
    std::function<void(const std::shared_ptr<WindowManager>&)> onComplete;

    struct State {
        // Only written, once the user finishes; whoever reads it learns of the write.
        AppStorage hasCompletedOnboarding{kOnboardingKey, false};
        // Made on the first build and kept for as long as the view keeps its identity.
        std::shared_ptr<FirstRunFlowCoordinator> flow;
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui

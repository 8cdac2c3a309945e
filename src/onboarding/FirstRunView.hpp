#pragma once

#include <functional>
#include <memory>

#include "ui/UI.hpp"

namespace talvori {

class RuntimeCoordinator;
class WindowManager;

}  // namespace talvori

namespace talvori::ui {

// The first-run window's flow. While it runs the global shortcuts stay off and the runtime
// coordinator knows the flow is on screen; its finish button starts the runtime, stores that
// onboarding is complete and hands the running window manager to `onComplete`. This first version
// goes straight to the finish step; the welcome and permission steps come with the onboarding
// work.
struct FirstRunView {
    std::shared_ptr<RuntimeCoordinator> runtime;
    std::function<void(const std::shared_ptr<WindowManager>&)> onComplete;

    struct State {
        bool hasStartedInitialFlow = false;
        bool hasCompletedFlow = false;
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui

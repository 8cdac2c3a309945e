#pragma once

#include <functional>
#include <memory>

#include "ui/AppStorage.hpp"
#include "ui/UI.hpp"

namespace talvori {

class FirstRunWindowCaptureView;
class HostedContent;
class RuntimeCoordinator;

}  // namespace talvori

namespace talvori::ui {

// The root of the first-run window: the first-run flow, or, when the window is opened again after
// onboarding while the runtime runs, nothing but a view that closes its window.
struct FirstRunWindowContent {
    std::shared_ptr<RuntimeCoordinator> runtime;
    // Closes the first-run window.
    std::function<void()> dismiss;
    std::shared_ptr<FirstRunWindowCaptureView> captureView;

    struct State {
        // Read like state, so the body is evaluated again when the flow stores its completion.
        AppStorage hasCompletedOnboarding{"hasCompletedOnboarding", false};
    };

    View body(ViewContext<State>& ctx) const;

    // The window's content, with the capture view learning the window it is put into.
    static std::shared_ptr<HostedContent> makeHostedContent(
        std::shared_ptr<RuntimeCoordinator> runtime, std::function<void()> dismiss);
};

}  // namespace talvori::ui

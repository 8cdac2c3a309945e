#include "app/FirstRunWindowContent.hpp"

#include "app/FirstRunWindowCapture.hpp"
#include "app/FirstRunWindowCaptureView.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "onboarding/FirstRunView.hpp"
#include "platform/Platform.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::ui {

View FirstRunWindowContent::body(ViewContext<State>& ctx) const {
    const bool runtimeRuns = runtime->windowManager() != nullptr;
    if (runtimeRuns && ctx.state.hasCompletedOnboarding() && !runtime->isFirstRunFlowActive()) {
        // The content first appears while its window is still being made: the window closes
        // once it stands.
        return View(Color::clear()).onAppear([dismiss = dismiss] {
            platform().runLoop().post(dismiss);
        });
    }
    return View(FirstRunView{runtime,
                             [dismiss = dismiss](const std::shared_ptr<WindowManager>& manager) {
                                 dismiss();
                                 manager->scheduleCoachMark();
                             }})
        .background(FirstRunWindowCapture{runtime, captureView})
        .frame({.alignment = Alignment::center()});
}

std::shared_ptr<HostedContent> FirstRunWindowContent::makeHostedContent(
    std::shared_ptr<RuntimeCoordinator> runtime, std::function<void()> dismiss) {
    auto captureView = std::make_shared<FirstRunWindowCaptureView>();
    auto host =
        PanelHost::make(FirstRunWindowContent{std::move(runtime), std::move(dismiss), captureView});
    host->onMoveToPanel = [captureView](Panel* window) {
        captureView->viewDidMoveToWindow(window);
    };
    return host;
}

}  // namespace talvori::ui

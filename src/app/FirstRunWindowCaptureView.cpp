#include "app/FirstRunWindowCaptureView.hpp"

#include "app/FirstRunFlowWindowPresenting.hpp"
#include "platform/desktop/Panel.hpp"

namespace talvori {

void FirstRunWindowCaptureView::viewDidMoveToWindow(Panel* window) {
    window_ = window ? window->weak_from_this() : std::weak_ptr<Panel>();
    // Every move into a window brings it to the front again.
    presentedWindow.reset();
    capture();
}

void FirstRunWindowCaptureView::update(std::weak_ptr<FirstRunFlowWindowPresenting> presenter) {
    flowPresenter = std::move(presenter);
    capture();
}

void FirstRunWindowCaptureView::capture() {
    const auto window = window_.lock();
    if (!window) {
        presentedWindow.reset();
        return;
    }
    const auto presenter = flowPresenter.lock();
    if (!presenter) return;
    presenter->adoptFirstRunWindow(window);
    if (presentedWindow.lock() == window) return;
    presentedWindow = window;
    presenter->focusFirstRunWindow();
}

}  // namespace talvori

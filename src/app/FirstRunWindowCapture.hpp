#pragma once

#include <memory>

#include "ui/UI.hpp"

namespace talvori {

class FirstRunFlowWindowPresenting;
class FirstRunWindowCaptureView;

}  // namespace talvori

namespace talvori::ui {

// Puts the first-run window's capture into the view tree: shown, and whenever it is updated, it
// hands its presenter to the capture view, which reports the window.
struct FirstRunWindowCapture {
    std::weak_ptr<FirstRunFlowWindowPresenting> flowPresenter;
    std::shared_ptr<FirstRunWindowCaptureView> captureView;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui

#pragma once

#include <memory>

namespace talvori {

class FirstRunFlowWindowPresenting;
class Panel;

// Learns which window the first-run views are shown in and reports it: every time the views move
// into a window it brings that window to the front again; an update in the same window only
// reports it.
class FirstRunWindowCaptureView {
  public:
    std::weak_ptr<FirstRunFlowWindowPresenting> flowPresenter;
    // The window last reported.
    std::weak_ptr<Panel> presentedWindow;

    // The views were put into `window`, or taken out of theirs (null).
    void viewDidMoveToWindow(Panel* window);
    // The view was updated with `presenter`.
    void update(std::weak_ptr<FirstRunFlowWindowPresenting> presenter);
    const std::shared_ptr<Panel> window() const { return window_.lock(); }

  private:
    void capture();

    std::weak_ptr<Panel> window_;
};

}  // namespace talvori

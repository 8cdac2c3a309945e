#pragma once

#include <memory>

#include "platform/desktop/Panel.hpp"

namespace talvori {

// Where a cover's glass meets the window server: it applies the blur radius to whatever lies
// behind the window that shows the cover, once the cover is in one, keeps it in step, and takes it
// away when the cover leaves its window. It also redraws the window once the position readout has
// been hidden, so that no trace of it stays in the blurred backdrop.
class BlurHostView {
  public:
    BlurHostView(double radius = 0, bool hudVisible = false)
        : pendingRadius(radius), hudWasVisible(hudVisible) {}

    // The radius to apply once the view is in a window.
    double pendingRadius;
    // Whether the readout was showing at the last update.
    bool hudWasVisible;

    void applyBlur(double radius, bool hudVisible);
    // The view now shows in `window`, or in none.
    void moveToWindow(const std::shared_ptr<Panel>& window);
    std::shared_ptr<Panel> window() const { return window_.lock(); }

  private:
    void setWindowRadius(Panel& window, double radius) const;

    std::weak_ptr<Panel> window_;
};

}  // namespace talvori

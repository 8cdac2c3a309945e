#pragma once

#include "app/FirstRunWindowPresenting.hpp"

namespace talvori {

// Presents the first-run window it holds weakly: the window belongs to its scene.
class FirstRunWindowPresenter final : public FirstRunWindowPresenting {
  public:
    std::shared_ptr<Panel> window() const override { return window_.lock(); }
    void setWindow(const std::shared_ptr<Panel>& window) override { window_ = window; }
    // Activates the application and makes the window key and front; when that did not make it
    // key in an active application, the window still comes to the front.
    bool present() override;

  private:
    std::weak_ptr<Panel> window_;
};

}  // namespace talvori

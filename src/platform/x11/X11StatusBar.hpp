#pragma once

#include "platform/core/Logger.hpp"
#include "platform/desktop/StatusBar.hpp"

namespace talvori::x11 {

// Status items are not shown on X11 yet: items are made, keep what the program sets, and say
// honestly that they are not visible (no tray host is asked to show them).
class X11StatusBar final : public StatusBar {
  public:
    explicit X11StatusBar(Logger log) : log_(std::move(log)) {}
    std::shared_ptr<StatusItem> makeStatusItem(double length) override;

  private:
    Logger log_;
    bool noted_ = false;
};

}  // namespace talvori::x11

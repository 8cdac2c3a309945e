#pragma once

#include <memory>

#include "platform/desktop/WindowList.hpp"

namespace talvori::x11 {

class X11Application;
class X11FocusWatch;

// Every top-level window in the server's true stacking order, front to back: the window manager's
// clients (named by their client windows, measured by their frames) and our own windows.
class X11WindowList final : public WindowList {
  public:
    // `focusWatch` (may be null) tells of a switch while the changes are gathered.
    X11WindowList(std::shared_ptr<X11Application> application,
                  std::shared_ptr<X11FocusWatch> focusWatch)
        : application_(std::move(application)), focusWatch_(std::move(focusWatch)) {}

    std::optional<std::vector<WindowInfo>> copyWindowInfo(unsigned options) const override;
    void gatherChanges(double seconds) override;
    Registration hearSwitches() override;

  private:
    std::shared_ptr<X11Application> application_;
    std::shared_ptr<X11FocusWatch> focusWatch_;
};

}  // namespace talvori::x11

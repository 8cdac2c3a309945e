#pragma once

#include <memory>
#include <utility>

#include "platform/freedesktop/DisplayServer.hpp"

namespace talvori::x11 {

class X11Application;

// Our windows as the X server shows them, for the services on the desktop's buses.
class X11DisplayServer final : public freedesktop::DisplayServer {
  public:
    explicit X11DisplayServer(std::shared_ptr<X11Application> application)
        : application_(std::move(application)) {}

    RunLoop& runLoop() const override;
    NotificationCenter& notificationCenter() const override;
    std::vector<std::shared_ptr<Panel>> shownWindows() const override;
    std::shared_ptr<Panel> keyWindow() const override;
    bool holdsKeyboard(const Panel& panel) const override;
    void setOnWindowsChange(std::function<void()> handler) override;
    freedesktop::ScreenRect onScreen(const Panel& panel) const override;
    freedesktop::ScreenRect onScreen(const Panel& panel, const Rect& frame) const override;
    void holdPainting(double seconds) override;

  private:
    std::shared_ptr<X11Application> application_;
};

}  // namespace talvori::x11

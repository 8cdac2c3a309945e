#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/freedesktop/ScreenRect.hpp"

namespace talvori {
class NotificationCenter;
class Panel;
class RunLoop;
struct Rect;
}  // namespace talvori

namespace talvori::freedesktop {

// What the services on the desktop's buses need to know of our windows from the display server
// that shows them: the backend implements it and hands it over.
class DisplayServer {
  public:
    virtual ~DisplayServer() = default;

    // The loop the server's events and the buses' messages are handled on.
    virtual RunLoop& runLoop() const = 0;
    // Where panels tell that they became or stopped being the key window.
    virtual NotificationCenter& notificationCenter() const = 0;
    // Our windows the server shows now, neither hidden nor iconified.
    virtual std::vector<std::shared_ptr<Panel>> shownWindows() const = 0;
    virtual std::shared_ptr<Panel> keyWindow() const = 0;
    // Whether `panel` has the keys by holding the keyboard, the focus left in another window.
    virtual bool holdsKeyboard(const Panel& panel) const = 0;
    // `handler` runs whenever our windows come, go, show or hide; null stops it.
    virtual void setOnWindowsChange(std::function<void()> handler) = 0;
    // Where `panel` is on the screen.
    virtual ScreenRect onScreen(const Panel& panel) const = 0;
    // Where `frame`, a view's frame in `panel` (points from its top left), is on the screen.
    virtual ScreenRect onScreen(const Panel& panel, const Rect& frame) const = 0;
    // Our windows are drawn no sooner than `seconds` from now.
    virtual void holdPainting(double seconds) = 0;
};

}  // namespace talvori::freedesktop

#pragma once

#include "platform/desktop/Event.hpp"

namespace talvori {

class Panel;

// What a panel does with the events its content leaves unhandled, and with its tracking areas and
// key status: the owner of a panel implements the parts it needs. Returning false is the window's
// default handling, which does nothing.
class WindowEventHandler {
  public:
    virtual ~WindowEventHandler() = default;

    virtual bool mouseDown(Panel&, const Event&) { return false; }
    virtual bool mouseDragged(Panel&, const Event&) { return false; }
    virtual bool mouseUp(Panel&, const Event&) { return false; }
    // From the panel's tracking areas only.
    virtual void mouseMoved(Panel&, const Event&) {}
    virtual void mouseEntered(Panel&, const Event&) {}
    virtual void mouseExited(Panel&, const Event&) {}
    // Key events that neither the first responder nor the content handled.
    virtual bool keyDown(Panel&, const Event&) { return false; }
    virtual bool keyUp(Panel&, const Event&) { return false; }
    virtual void windowDidBecomeKey(Panel&) {}
    virtual void windowDidResignKey(Panel&) {}
};

}  // namespace talvori

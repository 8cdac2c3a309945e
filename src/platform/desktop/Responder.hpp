#pragma once

#include "platform/desktop/Event.hpp"

namespace talvori {

// An object that can hold a panel's keyboard focus (a text field, a shortcut field). The panel
// offers key events to its first responder before its content.
class Responder {
  public:
    virtual ~Responder() = default;

    virtual bool acceptsFirstResponder() const { return true; }
    // Asked before focus moves here; may refuse.
    virtual bool becomeFirstResponder() { return true; }
    // Asked before focus moves away; may refuse.
    virtual bool resignFirstResponder() { return true; }
    virtual bool keyDown(const Event&) { return false; }
    virtual bool keyUp(const Event&) { return false; }
    // Whether this is a text editor (an editing field).
    virtual bool isTextEditor() const { return false; }
};

}  // namespace talvori

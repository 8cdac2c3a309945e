#pragma once

#include "platform/desktop/WindowEventHandler.hpp"

namespace talvori {

// Closes a scene window on the keys a desktop's dialogs close on (Escape, Control-W), when
// nothing in the window took them (a shortcut field being recorded keeps its Escape).
class SceneCloseKeys final : public WindowEventHandler {
  public:
    static bool closes(const Event& event);
    bool keyDown(Panel& panel, const Event& event) override;
};

}  // namespace talvori

#pragma once

#include <functional>

#include "ui/UI.hpp"

namespace talvori::ui {

// The control panel's footer: CLOSE on the left, DUPLICATE on the right.
struct ControlPanelActionsSection {
    std::function<void()> onClose;
    std::function<void()> onDuplicate;

    struct Look {
        Color foreground;
        // Idle, hovered, pressed.
        Color backgrounds[3];
        Color borders[3];
    };
    static const Look kCloseLook;
    static const Look kDuplicateLook;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui

#pragma once

#include <memory>

#include "platform/desktop/Panel.hpp"

namespace talvori {

// The menu-bar panel's window: a borderless, non-activating panel that can still become the key
// window, so that the rename fields of its rows take typing.
struct KeyableMenuPanel {
    static std::shared_ptr<Panel> make(const Rect& contentRect, unsigned styleMask);
};

}  // namespace talvori

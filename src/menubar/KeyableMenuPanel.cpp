#include "menubar/KeyableMenuPanel.hpp"

#include "platform/Platform.hpp"

namespace talvori {

std::shared_ptr<Panel> KeyableMenuPanel::make(const Rect& contentRect, unsigned styleMask) {
    auto panel = platform().application().makePanel(contentRect, styleMask);
    panel->setCanBecomeKey(true);
    return panel;
}

}  // namespace talvori

#include "menubar/MenuBarCoachMarkController.hpp"

namespace talvori {

std::string MenuBarCoachMarkController::showAnnouncement() {
    return "Look for this icon. Click it to open Talvori.";
}

MenuBarCoachMarkController::MenuBarCoachMarkController(bool interactive,
                                                       std::function<std::string()> announcement,
                                                       MakeContent makeContent)
    : interactive(interactive),
      announcement(announcement ? std::move(announcement) : [] { return showAnnouncement(); }),
      makeContent(std::move(makeContent)) {}

bool MenuBarCoachMarkController::show(const Rect&, const Rect&, std::vector<std::uint32_t>) {
    return false;
}

void MenuBarCoachMarkController::dismiss() {}

}  // namespace talvori

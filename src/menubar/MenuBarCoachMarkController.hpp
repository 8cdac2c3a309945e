#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Geometry.hpp"
#include "ui/View.hpp"

namespace talvori {

// A callout under the status item: the first-use coach mark (not interactive) and the update
// callout (interactive). The window manager owns one of each and decides when they show. This
// first version has no callout window yet: `show` finds no placement, so the window manager
// falls back to what it does without one (the coach mark opens the menu-bar panel instead).
class MenuBarCoachMarkController {
  public:
    // Builds the content for a beak centred `beakCenterX` points from the callout's left edge.
    using MakeContent = std::function<ui::View(double beakCenterX)>;

    // The coach mark's spoken text, and its panel's label.
    static std::string showAnnouncement();

    MenuBarCoachMarkController(bool interactive, std::function<std::string()> announcement = {},
                               MakeContent makeContent = {});
    MenuBarCoachMarkController(const MenuBarCoachMarkController&) = delete;
    MenuBarCoachMarkController& operator=(const MenuBarCoachMarkController&) = delete;

    const bool interactive;
    const std::function<std::string()> announcement;
    MakeContent makeContent;
    // Runs when Return is pressed while the callout shows; none: Return is not handled.
    std::function<void()> onReturn;

    // Shows the callout under `anchor` (the status button's frame) on the screen of
    // `screenFrame`; clicks in `passthroughWindows` do not dismiss it. False when it cannot be
    // placed, changing nothing.
    bool show(const Rect& anchor, const Rect& screenFrame,
              std::vector<std::uint32_t> passthroughWindows);
    // Takes the callout away; nothing when none shows.
    void dismiss();
    bool isShowing() const { return false; }
};

}  // namespace talvori

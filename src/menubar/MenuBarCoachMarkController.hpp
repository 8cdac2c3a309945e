#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "menubar/CalloutPlacement.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Registration.hpp"
#include "platform/desktop/Event.hpp"
#include "platform/desktop/Screen.hpp"
#include "ui/View.hpp"

namespace talvori {

class Panel;

// A callout under the status item (above it where the item stands low on its screen), in a
// borderless floating panel that never becomes key: the first-use coach mark and the notice of
// shortcuts the desktop holds (not interactive: clicks pass through them, and switching
// applications takes them away) and the update callout (interactive: it has buttons, and Return
// runs `onReturn`). It goes on Escape and on a click anywhere but on itself or a passthrough
// window (the status item's). The window manager owns one of each and decides when they show.
// Main thread only.
class MenuBarCoachMarkController : public std::enable_shared_from_this<MenuBarCoachMarkController> {
  public:
    static constexpr double kWidth = 236;
    // Content is measured with its beak in the middle: its height must not depend on the beak.
    static constexpr double kMeasuringBeakCenter = kWidth / 2;
    static constexpr double kScreenMargin = 8;
    static constexpr double kGapBelowAnchor = 1;
    // The beak keeps this far from either side of the callout.
    static constexpr double kBeakSideMargin = 9;
    static constexpr std::uint16_t kEscapeKeyCode = 53;
    static constexpr std::uint16_t kReturnKeyCode = 36;

    // Builds the content for a beak centred `beakCenterX` points from the callout's left edge, on
    // its top edge pointing up or on its bottom edge pointing down.
    using MakeContent = std::function<ui::View(double beakCenterX, bool beakPointsDown)>;

    // The coach mark's spoken text, and its panel's label.
    static std::string showAnnouncement();
    // Where a callout `width` by `height` stands by `anchor` on `screen`: centred under it, its
    // top 1 point below the anchor, or above it, its bottom 1 point above, where the anchor lies
    // in the screen's lower half (kept 8 points below the top of the visible frame). It keeps 8
    // points inside the screen's sides (centred on a screen too narrow for that), nearer where
    // the beak could not otherwise reach the anchor's centre. None for an empty anchor or one
    // off that screen.
    static std::optional<CalloutPlacement> updateCalloutPlacement(const Rect& anchor, double width,
                                                                  double height,
                                                                  const Screen& screen);

    // Without an announcement, the coach mark's; without content, the coach mark's view.
    explicit MenuBarCoachMarkController(bool interactive,
                                        std::function<std::string()> announcement = {},
                                        MakeContent makeContent = {});
    ~MenuBarCoachMarkController();
    MenuBarCoachMarkController(const MenuBarCoachMarkController&) = delete;
    MenuBarCoachMarkController& operator=(const MenuBarCoachMarkController&) = delete;

    const bool interactive;
    // Spoken when the callout shows, and the panel's accessibility label.
    const std::function<std::string()> announcement;
    MakeContent makeContent;
    // Runs when Return is pressed while the callout shows; none: Return is not handled.
    std::function<void()> onReturn;

    // Shows the callout by `anchor` (the status button's frame) on `screen`, in place of whatever
    // it showed before; clicks in `passthroughWindows` do not dismiss it. False when it cannot be
    // placed, changing nothing.
    bool show(const Rect& anchor, const Screen& screen,
              std::vector<std::uint32_t> passthroughWindows);
    // Takes the callout away; nothing when none shows.
    void dismiss();
    bool isShowing() const;
    void removeMonitors();
    void closePanel();

    // ---- What is shown, for those who look
    const std::shared_ptr<Panel>& panel() const { return panel_; }
    const std::vector<std::uint32_t>& passthroughWindows() const { return passthroughWindows_; }
    bool hasMonitors() const {
        return localClickMonitor_ || globalClickMonitor_ || localKeyMonitor_ ||
               static_cast<bool>(appSwitchObserver_);
    }

  private:
    double fittingHeight() const;
    void makePanel(const Rect& frame, const CalloutPlacement& placement);
    void installMonitors();
    void postAnnouncement() const;
    std::optional<Event> keyDown(const Event& event);
    void mouseDown(const Event& event);
    // A key typed into another window of ours is that window's, not the callout's.
    bool keyIsForCallout(const Event& event) const;
    bool isPassthrough(std::uint32_t windowNumber) const;

    std::shared_ptr<Panel> panel_;
    Registration localClickMonitor_;
    Registration globalClickMonitor_;
    Registration localKeyMonitor_;
    Registration appSwitchObserver_;
    std::vector<std::uint32_t> passthroughWindows_;
};

}  // namespace talvori

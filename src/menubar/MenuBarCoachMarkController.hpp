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
#include "ui/View.hpp"

namespace talvori {

class Panel;

// A callout under the status item, in a borderless floating panel that never becomes key: the
// first-use coach mark (not interactive: clicks pass through it, and switching applications
// takes it away) and the update callout (interactive: it has buttons, and Return runs
// `onReturn`). It goes on Escape and on a click anywhere but on itself or a passthrough window
// (the status item's). The window manager owns one of each and decides when they show. Main
// thread only.
class MenuBarCoachMarkController : public std::enable_shared_from_this<MenuBarCoachMarkController> {
  public:
    static constexpr double kWidth = 236;
    // Content is measured with its beak in the middle: its height must not depend on the beak.
    static constexpr double kMeasuringBeakCenter = kWidth / 2;
    static constexpr double kScreenMargin = 8;
    static constexpr double kGapBelowAnchor = 1;
    // The beak keeps this far from either side of the callout.
    static constexpr double kBeakSideMargin = 18;
    static constexpr std::uint16_t kEscapeKeyCode = 53;
    static constexpr std::uint16_t kReturnKeyCode = 36;

    // Builds the content for a beak centred `beakCenterX` points from the callout's left edge.
    using MakeContent = std::function<ui::View(double beakCenterX)>;

    // The coach mark's spoken text, and its panel's label.
    static std::string showAnnouncement();
    // Where a callout `width` by `height` stands under `anchor` on the screen of `screenFrame`:
    // centred under it, kept 8 points inside the screen (centred on a screen too narrow for that),
    // its top 1 point below the anchor. None for an empty anchor or one off that screen.
    static std::optional<CalloutPlacement> updateCalloutPlacement(const Rect& anchor, double width,
                                                                  double height,
                                                                  const Rect& screenFrame);

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

    // Shows the callout under `anchor` (the status button's frame) on the screen of
    // `screenFrame`, in place of whatever it showed before; clicks in `passthroughWindows` do not
    // dismiss it. False when it cannot be placed, changing nothing.
    bool show(const Rect& anchor, const Rect& screenFrame,
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
    void makePanel(const Rect& frame, double beakCenterX);
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

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "menubar/StatusItemScreenAnchor.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"
#include "platform/desktop/Image.hpp"
#include "platform/desktop/WindowEventHandler.hpp"

namespace talvori {

class Panel;
class StatusItem;
class Session;

namespace ui {
class PanelHost;
}

// The status item and the panel under it, the application's main window. It places the panel
// under the item, keeps it as tall as its content, and closes it on Escape, on a click anywhere
// else, and when it stops being the key window. Whether a click on the item opens or closes the
// panel is its owner's decision. Main thread only.
class MenuBarPanelController final : public WindowEventHandler,
                                     public std::enable_shared_from_this<MenuBarPanelController> {
  public:
    static constexpr double kScreenMargin = 8;
    static constexpr double kGapBelowItem = 6;
    static constexpr double kCornerRadius = 12;
    static constexpr double kHeightAnimationDuration = 0.25;
    // Height reports closer than this to the panel's height are layout noise.
    static constexpr double kHeightTolerance = 0.5;
    static constexpr std::uint16_t kEscapeKeyCode = 53;

    MenuBarPanelController() = default;
    ~MenuBarPanelController() override;
    MenuBarPanelController(const MenuBarPanelController&) = delete;
    MenuBarPanelController& operator=(const MenuBarPanelController&) = delete;

    // Set by the owner before install().
    // The status button's action.
    std::function<void()> onStatusItemClick;
    // The update row's action.
    std::function<void()> onCheckForUpdates;
    // The item's image and spoken label; read observably, so that the item follows them.
    std::function<Image()> statusImage;
    std::function<std::string()> statusAccessibilityLabel;

    // Puts the item into the status bar and keeps its image and label current; the panel shows
    // the session's covers and layouts.
    void install(const std::shared_ptr<Session>& session);
    // The status button's action.
    void statusItemClicked();
    // Builds the panel on first use, sizes and places it, and shows it as the key window.
    // From the keyboard, the first control takes the focus, as a menu opened by keys does.
    void showPanel(bool fromKeyboard = false);
    // Orders the panel out; it stays built for the next show.
    void hidePanel();
    bool isPanelVisible() const;
    // Where the status item is, when it is really on a screen.
    std::optional<StatusItemScreenAnchor> statusItemScreenAnchor() const;
    // The panel's frame for content of `size`: under the item (above it when the item is in the
    // lower half of its screen), or at the top right of the main screen when the item is not on
    // screen.
    Rect panelFrame(Size size) const;
    // The panel's content now has `height`: the panel follows, its top edge fixed.
    void contentHeightChanged(double height);
    // Opens a scene's window; chosen from the keyboard, the window starts at its first control so
    // that a reader names the control, not the window alone.
    void openWindow(const std::string& identifier);
    // Removes the item and the panel.
    void tearDown();

    void windowDidResignKey(Panel& panel) override;

    // ---- What is installed, for those who look
    const std::shared_ptr<StatusItem>& statusItem() const { return statusItem_; }
    const std::shared_ptr<Panel>& panel() const { return panel_; }
    const std::shared_ptr<ui::PanelHost>& hostingView() const { return hostingView_; }
    double targetContentHeight() const { return targetContentHeight_; }
    bool hasEventMonitors() const {
        return localClickMonitor_ || globalClickMonitor_ || localKeyMonitor_;
    }

  private:
    void observeStatusIcon();
    void makePanel();
    void installEventMonitors();
    void removeEventMonitors();
    void hideLayoutPreviews();
    void layOutAt(Size size);
    // Whether `event` is the first click since the content moved under the pointer, at the same
    // place; forgets where that was either way.
    bool isClickOnMovedContent(const Event& event);
    // The tallest the panel may be: from its top edge down to the screen's margin; none without a
    // screen.
    std::optional<double> heightLimit() const;
    static bool opensUpward(const StatusItemScreenAnchor& anchor);
    double cappedHeight(double contentHeight) const;

    std::shared_ptr<StatusItem> statusItem_;
    std::shared_ptr<Panel> panel_;
    std::shared_ptr<ui::PanelHost> hostingView_;
    double targetContentHeight_ = 0;
    // Where the pointer stood when the content last moved under it; its next click there is
    // dropped.
    std::optional<Point> contentMovedUnder_;
    Registration localClickMonitor_;
    Registration globalClickMonitor_;
    Registration localKeyMonitor_;
    std::weak_ptr<Session> session_;
    Registration statusIconObservation_;
};

}  // namespace talvori

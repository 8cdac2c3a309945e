#include "menubar/MenuBarCoachMarkController.hpp"

#include <algorithm>

#include "covers/announceForAccessibility.hpp"
#include "menubar/MenuBarCoachMarkView.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/CollectionBehavior.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "ui/PanelHost.hpp"

namespace talvori {

namespace {

constexpr unsigned kCalloutCollectionBehavior = CollectionBehavior::canJoinAllSpaces |
                                                CollectionBehavior::stationary |
                                                CollectionBehavior::fullScreenAuxiliary;
constexpr EventMask kClickMask =
    eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::rightMouseDown);

}  // namespace

std::string MenuBarCoachMarkController::showAnnouncement() {
    return ui::MenuBarCoachMarkView{}.announcement();
}

std::optional<CalloutPlacement> MenuBarCoachMarkController::updateCalloutPlacement(
    const Rect& anchor, double width, double height, const Screen& screen) {
    const Rect& frame = screen.frame;
    if (!(anchor.width() > 0) || !(anchor.height() > 0) || !anchor.intersects(frame)) {
        return std::nullopt;
    }
    // Inside the visible frame: a side panel's tray keeps the callout beside the panel.
    const Rect& visible = screen.visibleFrame;
    const double lo = visible.minX() + kScreenMargin;
    const double hi = visible.maxX() - kScreenMargin - width;
    double x = lo <= hi ? std::min(hi, std::max(lo, anchor.midX() - width / 2))
                        : visible.minX() + (visible.width() - width) / 2;
    if (lo <= hi) {
        // A tray's icons sit close to the screen's side: the callout gives up its margin there
        // rather than point beside the icon.
        x = std::max(x,
                     std::min(anchor.midX() - (width - kBeakSideMargin), visible.maxX() - width));
        x = std::min(x, std::max(anchor.midX() - kBeakSideMargin, visible.minX()));
    }
    const double beakCenterX =
        std::min(width - kBeakSideMargin, std::max(kBeakSideMargin, anchor.midX() - x));
    // Desktops may keep their tray at the bottom of the screen: the callout then stands above it.
    if (anchor.midY() < frame.midY()) {
        const double y =
            std::min(anchor.maxY() + kGapBelowAnchor, visible.maxY() - kScreenMargin - height);
        return CalloutPlacement{x, y, beakCenterX, true};
    }
    const double y =
        std::max(anchor.minY() - kGapBelowAnchor - height, visible.minY() + kScreenMargin);
    return CalloutPlacement{x, y, beakCenterX};
}

MenuBarCoachMarkController::MenuBarCoachMarkController(bool interactive,
                                                       std::function<std::string()> announcement,
                                                       MakeContent makeContent)
    : interactive(interactive),
      announcement(announcement ? std::move(announcement) : [] { return showAnnouncement(); }),
      makeContent(
          makeContent ? std::move(makeContent) : [](double beakCenterX, bool beakPointsDown) {
              return ui::View(ui::MenuBarCoachMarkView{beakCenterX, beakPointsDown});
          }) {}

MenuBarCoachMarkController::~MenuBarCoachMarkController() {
    removeMonitors();
    closePanel();
}

bool MenuBarCoachMarkController::show(const Rect& anchor, const Screen& screen,
                                      std::vector<std::uint32_t> passthroughWindows) {
    platform().runLoop().assertMainThread();
    const double height = fittingHeight();
    const auto placement = updateCalloutPlacement(anchor, kWidth, height, screen);
    if (!placement) return false;
    dismiss();
    passthroughWindows_ = std::move(passthroughWindows);
    makePanel({placement->x, placement->y, kWidth, height}, *placement);
    panel_->orderFrontRegardless();
    installMonitors();
    postAnnouncement();
    return true;
}

double MenuBarCoachMarkController::fittingHeight() const {
    auto measuring = ui::Host::make(makeContent(kMeasuringBeakCenter, false));
    return measuring->fittingSize(kWidth).height;
}

void MenuBarCoachMarkController::makePanel(const Rect& frame, const CalloutPlacement& placement) {
    auto panel = platform().application().makePanel(frame, StyleMask::nonactivatingPanel);
    panel->setFloatingPanel(true);
    panel->setLevel(WindowLevel::status);
    panel->setOpaque(false);
    panel->setBackgroundColor(Color::clear());
    panel->setHasShadow(true);
    panel->setHidesOnDeactivate(false);
    panel->setIgnoresMouseEvents(!interactive);
    panel->setCollectionBehavior(kCalloutCollectionBehavior);
    panel->setAnimationBehavior(AnimationBehavior::none);
    panel->setAccessibilityLabel(announcement());
    auto content =
        ui::PanelHost::make(makeContent(placement.beakCenterX, placement.beakPointsDown));
    // The hosted views take the panel's size as they move in, so the first click lands where
    // they stand.
    panel->setHostedContent(content);
    panel->setFrame(frame, false);
    panel_ = std::move(panel);
}

void MenuBarCoachMarkController::dismiss() {
    removeMonitors();
    passthroughWindows_.clear();
    closePanel();
}

bool MenuBarCoachMarkController::isShowing() const {
    return panel_ && panel_->isVisible();
}

void MenuBarCoachMarkController::closePanel() {
    if (!panel_) return;
    // Dropped first: whatever ordering the panel out sets off finds no callout any more.
    const auto panel = std::move(panel_);
    panel_.reset();
    panel->setAnimationBehavior(AnimationBehavior::none);
    panel->setHostedContent(nullptr);
    panel->orderOut();
}

// ---- Monitors

void MenuBarCoachMarkController::installMonitors() {
    removeMonitors();
    auto& input = platform().input();
    const std::weak_ptr<MenuBarCoachMarkController> weak = weak_from_this();
    localKeyMonitor_ = input.addLocalMonitor(
        eventMaskBit(EventType::keyDown), [weak](const Event& event) -> std::optional<Event> {
            platform().runLoop().assertMainThread();
            return withOwner(weak, &MenuBarCoachMarkController::keyDown, event).value_or(event);
        });
    globalClickMonitor_ = input.addGlobalMonitor(
        kClickMask, weakly(weak, [](MenuBarCoachMarkController& self, const Event&) {
            platform().runLoop().assertMainThread();
            self.dismiss();
        }));
    localClickMonitor_ =
        input.addLocalMonitor(kClickMask, [weak](const Event& event) -> std::optional<Event> {
            platform().runLoop().assertMainThread();
            withOwner(weak, &MenuBarCoachMarkController::mouseDown, event);
            return event;
        });
    if (!interactive) {
        appSwitchObserver_ = platform().notificationCenter().addObserver(
            Workspace::kDidActivateApplicationNotification, nullptr,
            NotificationDelivery::mainQueue,
            weakly(weak, [](MenuBarCoachMarkController& self, const Notification&) {
                platform().runLoop().assertMainThread();
                self.dismiss();
            }));
    }
}

void MenuBarCoachMarkController::removeMonitors() {
    localClickMonitor_.reset();
    globalClickMonitor_.reset();
    localKeyMonitor_.reset();
    appSwitchObserver_.reset();
}

std::optional<Event> MenuBarCoachMarkController::keyDown(const Event& event) {
    const bool escape = event.keyCode == kEscapeKeyCode;
    const bool returnKey = event.keyCode == kReturnKeyCode;
    if ((!escape && !returnKey) || !isShowing() || !keyIsForCallout(event)) return event;
    if (escape) {
        dismiss();
        return std::nullopt;
    }
    if (!onReturn) return event;
    // The action may replace onReturn or show the callout again.
    const auto action = onReturn;
    dismiss();
    action();
    return std::nullopt;
}

bool MenuBarCoachMarkController::keyIsForCallout(const Event& event) const {
    return event.windowNumber == 0 || event.windowNumber == panel_->windowNumber() ||
           isPassthrough(event.windowNumber);
}

void MenuBarCoachMarkController::mouseDown(const Event& event) {
    if (isPassthrough(event.windowNumber)) return;
    if (panel_ && event.windowNumber == panel_->windowNumber()) return;
    dismiss();
}

bool MenuBarCoachMarkController::isPassthrough(std::uint32_t windowNumber) const {
    // A click on no window of ours is outside, whatever the list holds.
    return windowNumber != 0 && std::find(passthroughWindows_.begin(), passthroughWindows_.end(),
                                          windowNumber) != passthroughWindows_.end();
}

void MenuBarCoachMarkController::postAnnouncement() const {
    announceForAccessibility(announcement());
}

}  // namespace talvori

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
    std::string title = ui::MenuBarCoachMarkView::kTitle;
    if (!title.ends_with('.') && !title.ends_with('!') && !title.ends_with('?')) title += '.';
    return title + " " + ui::MenuBarCoachMarkView::kSubtitle;
}

std::optional<CalloutPlacement> MenuBarCoachMarkController::updateCalloutPlacement(
    const Rect& anchor, double width, double height, const Rect& screenFrame) {
    if (!(anchor.width() > 0) || !(anchor.height() > 0) || !anchor.intersects(screenFrame)) {
        return std::nullopt;
    }
    const double lo = screenFrame.minX() + kScreenMargin;
    const double hi = screenFrame.maxX() - kScreenMargin - width;
    const double x = lo <= hi ? std::min(hi, std::max(lo, anchor.midX() - width / 2))
                              : screenFrame.minX() + (screenFrame.width() - width) / 2;
    const double beakCenterX =
        std::min(width - kBeakSideMargin, std::max(kBeakSideMargin, anchor.midX() - x));
    return CalloutPlacement{x, anchor.minY() - kGapBelowAnchor - height, beakCenterX};
}

MenuBarCoachMarkController::MenuBarCoachMarkController(bool interactive,
                                                       std::function<std::string()> announcement,
                                                       MakeContent makeContent)
    : interactive(interactive),
      announcement(announcement ? std::move(announcement) : [] { return showAnnouncement(); }),
      makeContent(makeContent ? std::move(makeContent) : [](double beakCenterX) {
          return ui::View(ui::MenuBarCoachMarkView{beakCenterX});
      }) {}

MenuBarCoachMarkController::~MenuBarCoachMarkController() {
    removeMonitors();
    closePanel();
}

bool MenuBarCoachMarkController::show(const Rect& anchor, const Rect& screenFrame,
                                      std::vector<std::uint32_t> passthroughWindows) {
    platform().runLoop().assertMainThread();
    const double height = fittingHeight();
    const auto placement = updateCalloutPlacement(anchor, kWidth, height, screenFrame);
    if (!placement) return false;
    dismiss();
    passthroughWindows_ = std::move(passthroughWindows);
    makePanel({placement->x, placement->y, kWidth, height}, placement->beakCenterX);
    panel_->orderFrontRegardless();
    installMonitors();
    postAnnouncement();
    return true;
}

double MenuBarCoachMarkController::fittingHeight() const {
    auto measuring = ui::Host::make(makeContent(kMeasuringBeakCenter));
    return measuring->fittingSize(kWidth).height;
}

void MenuBarCoachMarkController::makePanel(const Rect& frame, double beakCenterX) {
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
    auto content = ui::PanelHost::make(makeContent(beakCenterX));
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
    localKeyMonitor_ = input.addLocalMonitor(eventMaskBit(EventType::keyDown),
                                             [weak](const Event& event) -> std::optional<Event> {
                                                 platform().runLoop().assertMainThread();
                                                 auto self = weak.lock();
                                                 return self ? self->keyDown(event) : event;
                                             });
    globalClickMonitor_ = input.addGlobalMonitor(
        kClickMask, weakly(weak, [](MenuBarCoachMarkController& self, const Event&) {
            platform().runLoop().assertMainThread();
            self.dismiss();
        }));
    localClickMonitor_ =
        input.addLocalMonitor(kClickMask, [weak](const Event& event) -> std::optional<Event> {
            platform().runLoop().assertMainThread();
            if (auto self = weak.lock()) self->mouseDown(event);
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

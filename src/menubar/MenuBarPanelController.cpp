#include "menubar/MenuBarPanelController.hpp"

#include <algorithm>
#include <cmath>

#include "menubar/KeyableMenuPanel.hpp"
#include "menubar/MainWindowView.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/CollectionBehavior.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "reminder/UpdateReminder.hpp"
#include "session/Session.hpp"
#include "ui/PanelHost.hpp"

namespace talvori {

namespace {

constexpr unsigned kPanelCollectionBehavior =
    CollectionBehavior::canJoinAllSpaces | CollectionBehavior::fullScreenAuxiliary;
constexpr EventMask kClickMask =
    eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::rightMouseDown);

}  // namespace

MenuBarPanelController::~MenuBarPanelController() = default;

// ---- Status item

void MenuBarPanelController::install(const std::shared_ptr<Session>& session) {
    session_ = session;
    auto item = platform().statusBar().makeStatusItem(StatusBar::kSquareLength);
    if (auto* button = item->button()) {
        button->setAction(weakly(weak_from_this(),
                                 [](MenuBarPanelController& self) { self.statusItemClicked(); }));
        button->setAccessibilityLabel("Talvori");
    }
    statusItem_ = std::move(item);
    if (session && statusItem_->button()) observeStatusIcon();
}

void MenuBarPanelController::observeStatusIcon() {
    auto* button = statusItem_ ? statusItem_->button() : nullptr;
    if (session_.expired() || !button || !statusImage || !statusAccessibilityLabel) return;
    statusIconObservation_ = ObservationTracking::track(
        [&] {
            button->setImage(statusImage());
            button->setAccessibilityLabel(statusAccessibilityLabel());
        },
        // Arms itself again on a later turn, once the change is complete.
        [weak = weak_from_this()] {
            platform().runLoop().post(weakly(weak, &MenuBarPanelController::observeStatusIcon));
        });
}

void MenuBarPanelController::statusItemClicked() {
    platform().runLoop().assertMainThread();
    if (!session_.expired() && onStatusItemClick) onStatusItemClick();
}

std::optional<StatusItemScreenAnchor> MenuBarPanelController::statusItemScreenAnchor() const {
    if (!statusItem_ || !statusItem_->isVisible()) return std::nullopt;
    const auto* button = statusItem_->button();
    if (!button || button->windowNumber() == 0 || !button->isWindowVisible()) return std::nullopt;
    if (button->isHidden() || button->hasHiddenAncestor() || button->visibleRectIsEmpty()) {
        return std::nullopt;
    }
    const auto screen = button->screen();
    if (!screen) return std::nullopt;
    return StatusItemScreenAnchor{button->frameOnScreen(), *screen, button->windowNumber()};
}

// ---- Panel

bool MenuBarPanelController::isPanelVisible() const {
    return panel_ && panel_->isVisible();
}

void MenuBarPanelController::makePanel() {
    auto panel = KeyableMenuPanel::make(Rect(), StyleMask::nonactivatingPanel);
    panel->setLevel(WindowLevel::status);
    panel->setCollectionBehavior(kPanelCollectionBehavior);
    panel->setOpaque(false);
    panel->setBackgroundColor(Color::clear());
    panel->setHidesOnDeactivate(false);
    panel->setRestorable(false);
    panel->setAnimationBehavior(AnimationBehavior::none);
    panel->setEventHandler(weak_from_this());
    const ui::View root = ui::MainWindowView{
        session_,
        weakly(weak_from_this(), [](MenuBarPanelController& self,
                                    double height) { self.contentHeightChanged(height); }),
        weakly(weak_from_this(),
               [](MenuBarPanelController& self, const std::string& identifier) {
                   self.openWindow(identifier);
               }),
        UpdateReminder::shared(), onCheckForUpdates};
    auto host = ui::PanelHost::make(
        root.clipShape(ui::RoundedRectangle(kCornerRadius, ui::RoundedCornerStyle::circular)));
    panel->setHostedContent(host);
    panel_ = std::move(panel);
    hostingView_ = std::move(host);
}

void MenuBarPanelController::openWindow(const std::string& identifier) {
    const bool fromKeyboard = hostingView_ && hostingView_->host().isAnsweringKeyPress();
    platform().application().openWindow(identifier);
    if (!fromKeyboard) return;
    const auto window = platform().application().sceneWindow(identifier);
    const auto content =
        std::dynamic_pointer_cast<ui::PanelHost>(window ? window->hostedContent() : nullptr);
    if (content) content->host().focusFirstControlUnlessFocused();
}

bool MenuBarPanelController::opensUpward(const StatusItemScreenAnchor& anchor) {
    // Desktops may keep their status area at the bottom of the screen: the panel then opens
    // above the item, on the screen.
    return anchor.rect.midY() < anchor.screen.frame.midY();
}

std::optional<double> MenuBarPanelController::heightLimit() const {
    double top = 0, bottom = 0;
    if (const auto anchor = statusItemScreenAnchor(); anchor && opensUpward(*anchor)) {
        top = anchor->screen.visibleFrame.maxY() - kScreenMargin;
        bottom = anchor->rect.maxY() + kGapBelowItem;
    } else if (anchor) {
        top = anchor->rect.minY() - kGapBelowItem;
        bottom = anchor->screen.visibleFrame.minY() + kScreenMargin;
    } else if (const auto screen = platform().screens().mainScreen()) {
        top = screen->visibleFrame.maxY() - kGapBelowItem;
        bottom = screen->visibleFrame.minY() + kScreenMargin;
    }
    if (!(top > bottom)) return std::nullopt;
    return top - bottom;
}

double MenuBarPanelController::cappedHeight(double contentHeight) const {
    const auto limit = heightLimit();
    return limit ? std::min(contentHeight, *limit) : contentHeight;
}

Rect MenuBarPanelController::panelFrame(Size size) const {
    // Content taller than the screen allows scrolls inside the panel (see MainWindowView).
    const double w = size.width, h = cappedHeight(size.height);
    // max(lo, min(hi, x)): on a screen too narrow for the panel the left margin wins.
    if (const auto anchor = statusItemScreenAnchor()) {
        const Rect visible = anchor->screen.visibleFrame;
        const double x =
            std::max(visible.minX() + kScreenMargin,
                     std::min(visible.maxX() - w - kScreenMargin, anchor->rect.midX() - w / 2));
        if (opensUpward(*anchor)) return {x, anchor->rect.maxY() + kGapBelowItem, w, h};
        return {x, anchor->rect.minY() - kGapBelowItem - h, w, h};
    }
    const auto screen = platform().screens().mainScreen();
    const Rect visible = screen ? screen->visibleFrame : Rect();
    return {visible.maxX() - w - kScreenMargin, visible.maxY() - kGapBelowItem - h, w, h};
}

void MenuBarPanelController::showPanel(bool fromKeyboard) {
    if (session_.expired()) return;
    // Another program may have closed the panel's window: a new one shows.
    if (!panel_ || panel_->isClosed()) makePanel();
    if (!panel_ || !hostingView_) return;
    const Size size = hostingView_->fittingSize();
    const Rect frame = panelFrame(size);
    panel_->setFrame(frame, false);
    layOutAt(frame.size);
    targetContentHeight_ = size.height;
    platform().application().activate();
    panel_->makeKeyAndOrderFront();
    // No field of the panel starts focused; from the keyboard the first control does.
    panel_->makeFirstResponder(nullptr);
    hostingView_->host().resignFocus();
    if (fromKeyboard) hostingView_->host().moveFocus(true);
    installEventMonitors();
}

void MenuBarPanelController::hidePanel() {
    removeEventMonitors();
    if (panel_) panel_->orderOut();
    hideLayoutPreviews();
}

void MenuBarPanelController::windowDidResignKey(Panel&) {
    platform().runLoop().assertMainThread();
    removeEventMonitors();
    if (panel_) panel_->orderOut();
    hideLayoutPreviews();
}

void MenuBarPanelController::hideLayoutPreviews() {
    // The previews belong to a row under the pointer: once the panel is gone nothing shows why
    // they are there, and nothing else would take them away.
    if (auto session = session_.lock()) session->hideGhostPanels();
}

void MenuBarPanelController::contentHeightChanged(double height) {
    if (!isPanelVisible() || !(height > 0)) return;
    if (std::abs(height - targetContentHeight_) <= kHeightTolerance) return;
    targetContentHeight_ = height;
    const Rect frame = panel_->frame();
    const double shown = cappedHeight(height);
    // The edge at the item stays where it is.
    const auto anchor = statusItemScreenAnchor();
    const double bottom =
        anchor && opensUpward(*anchor) ? frame.minY() : frame.minY() - (shown - frame.height());
    const Rect target{frame.minX(), bottom, frame.width(), shown};
    // A panel that keeps its bottom edge moves its content under a pointer that stays: the next
    // click there would take whatever came under it instead of what the user pointed at.
    const Point pointer = platform().input().mouseLocation();
    if (target.minY() == frame.minY() && frame.contains(pointer)) contentMovedUnder_ = pointer;
    layOutAt(target.size);
    if (platform().workspace().accessibilityDisplayShouldReduceMotion()) {
        panel_->setFrame(target, true);
    } else {
        panel_->animateFrame(target, kHeightAnimationDuration, AnimationCurve::easeOut);
    }
}

void MenuBarPanelController::layOutAt(Size size) {
    // The views hit-test and report frames from their last layout: it must match the panel's new
    // size before the next click, not only once the panel is drawn again.
    if (hostingView_) hostingView_->host().setProposedSize(size);
}

// ---- Event monitors

void MenuBarPanelController::installEventMonitors() {
    removeEventMonitors();
    auto& input = platform().input();
    const std::weak_ptr<MenuBarPanelController> weak = weak_from_this();
    localKeyMonitor_ = input.addLocalMonitor(
        eventMaskBit(EventType::keyDown), [weak](const Event& event) -> std::optional<Event> {
            platform().runLoop().assertMainThread();
            const bool hidden = withOwner(weak, [&](MenuBarPanelController& self) {
                                    if (event.keyCode != kEscapeKeyCode || !self.isPanelVisible()) {
                                        return false;
                                    }
                                    self.hidePanel();
                                    return true;
                                }).value_or(false);
            if (hidden) return std::nullopt;
            return event;
        });
    globalClickMonitor_ = input.addGlobalMonitor(kClickMask, [weak](const Event&) {
        platform().runLoop().assertMainThread();
        withOwner(weak, &MenuBarPanelController::hidePanel);
    });
    localClickMonitor_ =
        input.addLocalMonitor(kClickMask, [weak](const Event& event) -> std::optional<Event> {
            platform().runLoop().assertMainThread();
            const bool swallowed = withOwner(weak, [&](MenuBarPanelController& self) {
                                       return self.isClickOnMovedContent(event);
                                   }).value_or(false);
            if (swallowed) return std::nullopt;
            withOwner(weak, [&](MenuBarPanelController& self) {
                if (!self.panel_) return;
                // A click on the status item is left to its action, which toggles the panel.
                const auto* button = self.statusItem_ ? self.statusItem_->button() : nullptr;
                const bool onItem = button && event.windowNumber == button->windowNumber();
                if (event.windowNumber != self.panel_->windowNumber() && !onItem) self.hidePanel();
            });
            return event;
        });
}

bool MenuBarPanelController::isClickOnMovedContent(const Event& event) {
    const auto movedUnder = std::exchange(contentMovedUnder_, std::nullopt);
    return movedUnder && panel_ && event.windowNumber == panel_->windowNumber() &&
           event.location == *movedUnder;
}

void MenuBarPanelController::removeEventMonitors() {
    globalClickMonitor_.reset();
    localClickMonitor_.reset();
    contentMovedUnder_.reset();
    localKeyMonitor_.reset();
}

void MenuBarPanelController::tearDown() {
    removeEventMonitors();
    if (panel_) {
        panel_->setAnimationBehavior(AnimationBehavior::none);
        panel_->setEventHandler({});
        panel_->setHostedContent(nullptr);
        panel_->orderOut();
    }
    panel_.reset();
    hostingView_.reset();
    targetContentHeight_ = 0;
    session_.reset();
    statusIconObservation_.reset();
    statusItem_.reset();
}

}  // namespace talvori

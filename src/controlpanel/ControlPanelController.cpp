#include "controlpanel/ControlPanelController.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "controlpanel/ControlPanelView.hpp"
#include "controlpanel/KeyablePanel.hpp"
#include "covers/OverlayViewModel.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"
#include "ui/PanelHost.hpp"
#include "ui/ScrollView.hpp"

namespace talvori {

namespace {

constexpr double kMinimumOpacity = 0.1;

double opacityForPercent(int percent) {
    return std::max(std::min(percent / 100.0, 1.0), kMinimumOpacity);
}

// The shadow's margin below `card`, cut to what leaves the cover free when the cover stands
// beneath the card: the window takes the pointer everywhere, and the cover's top edge must stay
// reachable.
double bottomMarginOver(const Rect& card, const Rect& cover) {
    using C = ControlPanelController;
    const bool beneath = cover.maxY() <= card.minY() &&
                         cover.minX() < card.maxX() + C::kShadowMarginSide &&
                         cover.maxX() > card.minX() - C::kShadowMarginSide;
    if (!beneath) return C::kShadowMarginBottom;
    return std::min(C::kShadowMarginBottom, card.minY() - cover.maxY());
}

}  // namespace

ControlPanelController::~ControlPanelController() {
    if (panel_) panel_->window().close();
}

// ---- Reports of the covers

void ControlPanelController::scheduleShow(const UUID& id, const Rect& overlayFrame) {
    platform().runLoop().assertMainThread();
    if (samplingSession_) return;
    // The panel stays with the cover it shows while the pointer is on it.
    if (isVisibleForAnotherCover(id) && isPanelHovered_) return;
    const double delay = isVisibleForAnotherCover(id) ? switchDelay_ : showDelay_;
    showTimer_.clear();
    hideTimer_.clear();
    showTimer_.replace(scheduleTimer(delay, [id, overlayFrame](ControlPanelController& self) {
        self.showPanel(id, overlayFrame);
    }));
}

void ControlPanelController::scheduleHide() {
    if (samplingSession_) return;
    hideTimer_.clear();
    hideTimer_.replace(scheduleTimer(hideDelay_, &ControlPanelController::hideNow));
}

void ControlPanelController::repositionPanel(const UUID& id, const Rect& overlayFrame) {
    if (samplingSession_ || currentOverlayID_ != id || !isPanelVisible()) return;
    coverFrame_ = overlayFrame;
    placeCard(panelFrame(overlayFrame, cardFrame()->size), false);
}

void ControlPanelController::hidePanel(const UUID& ifShowingFor) {
    if (samplingSession_ && samplingSession_->overlayID == ifShowingFor) samplingSession_.reset();
    if (currentOverlayID_ == ifShowingFor) hideNow();
}

void ControlPanelController::hideNow() {
    samplingSession_.reset();
    showTimer_.clear();
    hideTimer_.clear();
    isPanelHovered_ = false;
    if (panel_) panel_->window().orderOut();
    currentOverlayID_.reset();
    // A half-typed opacity belongs to the cover it was typed for.
    forgetOpacityDigit();
}

void ControlPanelController::openFromKeyboard(const UUID& id, const Rect& overlayFrame,
                                              std::function<void()> afterEscape) {
    showPanel(id, overlayFrame);
    if (!isShowing(id)) return;
    showTimer_.clear();
    hideTimer_.clear();
    afterEscape_ = std::move(afterEscape);
    panel_->window().makeKeyAndOrderFront();
    hostingView_->host().focusFirstControlUnlessFocused();
}

void ControlPanelController::shutdown() {
    afterEscape_ = nullptr;
    samplingSession_.reset();
    hideTimer_.clear();
    showTimer_.clear();
    forgetOpacityDigit();
    isPanelHovered_ = false;
    currentOverlayID_.reset();
    nameWatch_ = {};
    if (hostingView_) hostingView_->onLayoutChange = nullptr;
    if (panel_) {
        panel_->window().setHostedContent(nullptr);
        panel_->window().orderOut();
        panel_->window().close();
    }
    panel_.reset();
    hostingView_.reset();
    cardView_.reset();
    viewModelProvider = nullptr;
    onDuplicate = nullptr;
    onClose = nullptr;
    onAttach = nullptr;
    onDetach = nullptr;
    onLockChange = nullptr;
    onClickThroughChange = nullptr;
}

// ---- Steps

void ControlPanelController::showPanel(const UUID& id, const Rect& overlayFrame) {
    platform().runLoop().assertMainThread();
    auto viewModel = viewModelProvider ? viewModelProvider(id) : nullptr;
    if (!viewModel) return;
    if (!isShowing(id)) {
        if (presentationGeneration_ < std::numeric_limits<std::int64_t>::max()) {
            ++presentationGeneration_;
        }
    }
    if (currentOverlayID_ != id) forgetOpacityDigit();
    currentOverlayID_ = id;
    if (!panel_) buildPanel();
    nameWindowFor(viewModel);
    setRootView(id, std::move(viewModel));
    coverFrame_ = overlayFrame;
    const Rect card = panelFrame(overlayFrame, cardSize(hostingView_->fittingSize()));
    placeCard(card, false);
    panel_->window().orderFront();
}

void ControlPanelController::resizePanelToFit() {
    if (samplingSession_ || !panel_ || !hostingView_ || !isPanelVisible()) return;
    const Size fitting = cardSize(hostingView_->fittingSize());
    const Rect card = *cardFrame();
    if (!(fitting.height > 0) || fitting == card.size) return;
    // The top edge stays while the card fits on the screen below it; a card that would run off
    // the screen takes a new place beside its cover, as when it opened.
    const Rect grown{card.minX(), card.maxY() - fitting.height, fitting.width, fitting.height};
    const Rect screen = screenFrame(coverFrame_);
    const bool fits = grown.minY() >= screen.minY() && grown.height() <= screen.height();
    placeCard(fits ? grown : panelFrame(coverFrame_, fitting), true);
}

std::optional<UUID> ControlPanelController::beginSampling() {
    if (samplingSession_ || !currentOverlayID_) return std::nullopt;
    hideTimer_.clear();
    showTimer_.clear();
    samplingSession_ = ColorSamplingSession{UUID::random(), *currentOverlayID_};
    return samplingSession_->token;
}

bool ControlPanelController::resolveSampling(const UUID& token) {
    if (!samplingSession_ || samplingSession_->token != token) return false;
    samplingSession_.reset();
    // Leaving the panel while the sampler ran asked for no hide; ask now.
    if (!isPanelHovered_) scheduleHide();
    return true;
}

void ControlPanelController::handleOpacityDigit(int digit) {
    if (!currentOverlayID_ || !viewModelProvider) return;
    auto viewModel = viewModelProvider(*currentOverlayID_);
    if (!viewModel) return;
    opacityDigitTimer_.clear();
    if (!pendingOpacityDigit_) {
        viewModel->setOpacity(opacityForPercent(digit == 0 ? 100 : digit * 10));
        pendingOpacityDigit_ = digit;
        opacityDigitTimer_.replace(
            scheduleTimer(kOpacityDigitWindow,
                          [](ControlPanelController& self) { self.pendingOpacityDigit_.reset(); }));
        return;
    }
    const int percent = std::min(std::max(*pendingOpacityDigit_ * 10 + digit, 10), 100);
    viewModel->setOpacity(opacityForPercent(percent));
    pendingOpacityDigit_.reset();
}

void ControlPanelController::setPanelHovered(bool isHovered) {
    isPanelHovered_ = isHovered;
    if (isHovered) {
        hideTimer_.clear();
        showTimer_.clear();
    } else {
        scheduleHide();
    }
}

// With several screens the card stays on the one of its cover, beside it, rather than being
// pulled over to the screen the user last typed on.
Rect ControlPanelController::screenFrame(const Rect& cover) {
    const Screens& screens = platform().screens();
    auto home = screens.screenFor(cover);
    if (!home) home = screens.mainScreen();
    return home ? home->visibleFrame : Rect{};
}

Rect ControlPanelController::panelFrame(const Rect& nextTo, Size size) {
    const Rect screen = screenFrame(nextTo);
    // A card taller than the screen scrolls inside itself.
    size.height = std::min(size.height, screen.height());
    Point origin;
    if (const double right = nextTo.maxX() + kGap; right + size.width <= screen.maxX()) {
        origin = {right, nextTo.midY() - size.height / 2};
    } else if (const double left = nextTo.minX() - kGap - size.width; screen.minX() <= left) {
        origin = {left, nextTo.midY() - size.height / 2};
    } else if (const double below = nextTo.minY() - kGap - size.height; screen.minY() <= below) {
        origin = {nextTo.midX() - size.width / 2, below};
    } else {
        origin = {nextTo.midX() - size.width / 2, nextTo.maxY() + kGap};
    }
    // Not std::clamp: for a card larger than the screen the bounds cross, and the left and bottom
    // edges must win.
    origin.x = std::max(screen.minX(), std::min(screen.maxX() - size.width, origin.x));
    origin.y = std::max(screen.minY(), std::min(screen.maxY() - size.height, origin.y));
    return {origin, size};
}

// ---- State

bool ControlPanelController::isPanelVisible() const {
    return panel_ && panel_->window().isVisible();
}

bool ControlPanelController::hasPendingShow() const {
    return showTimer_.get() && showTimer_.get()->isValid();
}

bool ControlPanelController::hasPendingHide() const {
    return hideTimer_.get() && hideTimer_.get()->isValid();
}

std::shared_ptr<Panel> ControlPanelController::panel() const {
    return panel_ ? panel_->sharedWindow() : nullptr;
}

std::optional<Rect> ControlPanelController::cardFrame() const {
    if (!panel_) return std::nullopt;
    const Rect window = panel_->window().frame();
    return Rect{window.minX() + kShadowMarginSide, window.minY() + bottomMargin_,
                cardSize(window.size).width, cardSize(window.size).height};
}

// ---- Private

bool ControlPanelController::isShowing(const UUID& id) const {
    return isPanelVisible() && currentOverlayID_ == id;
}

bool ControlPanelController::isVisibleForAnotherCover(const UUID& id) const {
    return isPanelVisible() && currentOverlayID_ && *currentOverlayID_ != id;
}

void ControlPanelController::buildPanel() {
    panel_ = KeyablePanel::make();
    panel_->onDigitKey = weakly(weak_from_this(), &ControlPanelController::handleOpacityDigit);
}

void ControlPanelController::setRootView(const UUID& id,
                                         std::shared_ptr<OverlayViewModel> viewModel) {
    std::weak_ptr<ControlPanelController> weak = weak_from_this();
    ui::ControlPanelView view{
        .viewModel = std::move(viewModel),
        .presentationGeneration = presentationGeneration_,
        .onHoverChange = weakly(weak, &ControlPanelController::setPanelHovered),
        .onDuplicate = weakly(weak,
                              [id](ControlPanelController& self) {
                                  if (self.onDuplicate) self.onDuplicate(id);
                                  self.hideNow();
                              }),
        .onClose = weakly(weak,
                          [id](ControlPanelController& self) {
                              if (self.onClose) self.onClose(id);
                              self.hideNow();
                          }),
        .onAttach = weakly(weak,
                           [id](ControlPanelController& self, const AttachmentTarget& target) {
                               if (self.onAttach) self.onAttach(id, target);
                           }),
        .onDetach = weakly(weak,
                           [id](ControlPanelController& self) {
                               if (self.onDetach) self.onDetach(id);
                           }),
        .onLockChange = weakly(weak,
                               [id](ControlPanelController& self) {
                                   if (self.onLockChange) self.onLockChange(id);
                               }),
        .onClickThroughChange = weakly(weak,
                                       [id](ControlPanelController& self) {
                                           if (self.onClickThroughChange)
                                               self.onClickThroughChange(id);
                                       }),
        .onSamplingBegin = weakly(weak, &ControlPanelController::beginSampling),
        .onSamplingResolve = weakly(weak, &ControlPanelController::resolveSampling),
    };
    // Escape that no control took closes the panel, as it closes a dialog.
    cardView_ = std::make_shared<const ui::View>(
        ui::View(std::move(view))
            .onKeyPress(weakly(weak, [](ControlPanelController& self, const ui::KeyPress& press) {
                if (press.key != ui::Key::escape || press.modifiers != ui::Modifiers::none)
                    return false;
                const auto afterEscape = std::exchange(self.afterEscape_, nullptr);
                self.hideNow();
                if (afterEscape) afterEscape();
                return true;
            })));
    applyRootView();
}

void ControlPanelController::nameWindowFor(const std::shared_ptr<OverlayViewModel>& viewModel) {
    const std::weak_ptr<Panel> window = panel_->sharedWindow();
    const std::weak_ptr<OverlayViewModel> cover = viewModel;
    const auto name = weakly(window, [cover](Panel& panel) {
        withOwner(cover, [&panel](OverlayViewModel& model) {
            panel.setAccessibilityLabel(model.name() + " settings");
        });
    });
    name();
    nameWatch_ = viewModel->model.observe(name);
}

void ControlPanelController::applyRootView() {
    // Scrolls only when the screen cannot hold the whole card.
    const ui::View root =
        ui::ScrollView(cardView_->padding(ui::EdgeInsets{kShadowMarginTop, kShadowMarginSide,
                                                         bottomMargin_, kShadowMarginSide}))
            .frame({.maxWidth = ui::infinity,
                    .maxHeight = ui::infinity,
                    .alignment = ui::Alignment::top()});
    if (hostingView_) {
        hostingView_->setRootView(root);
        return;
    }
    hostingView_ = ui::PanelHost::make(root);
    hostingView_->onLayoutChange =
        weakly(weak_from_this(), &ControlPanelController::resizePanelToFit);
    panel_->window().setHostedContent(hostingView_);
}

// The window around a card: the card plus its shadow's margin, in the global space (y up).
Rect ControlPanelController::windowFrame(const Rect& card) const {
    return {card.minX() - kShadowMarginSide, card.minY() - bottomMargin_,
            card.width() + 2 * kShadowMarginSide, card.height() + kShadowMarginTop + bottomMargin_};
}

Size ControlPanelController::cardSize(Size windowSize) const {
    return {std::max(windowSize.width - 2 * kShadowMarginSide, 0.0),
            std::max(windowSize.height - kShadowMarginTop - bottomMargin_, 0.0)};
}

void ControlPanelController::placeCard(const Rect& card, bool display) {
    // The content's margin follows the window's, so the card keeps its place in the window.
    if (const double bottom = bottomMarginOver(card, coverFrame_); bottom != bottomMargin_) {
        bottomMargin_ = bottom;
        applyRootView();
    }
    panel_->window().setFrame(windowFrame(card), display);
    // The views lay out at the window's new size now, not at its next drawing, so that the pointer
    // finds them where they will be drawn.
    if (hostingView_) hostingView_->host().setProposedSize(panel_->window().frame().size);
}

void ControlPanelController::forgetOpacityDigit() {
    opacityDigitTimer_.clear();
    pendingOpacityDigit_.reset();
}

std::shared_ptr<Timer> ControlPanelController::scheduleTimer(
    double delay, std::function<void(ControlPanelController&)> action) {
    return Timer::scheduledTimer(platform().runLoop(), delay, false,
                                 weakly(weak_from_this(), std::move(action)));
}

}  // namespace talvori

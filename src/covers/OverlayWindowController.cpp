#include "covers/OverlayWindowController.hpp"

#include <algorithm>
#include <cmath>

#include "covers/OverlayView.hpp"
#include "covers/PermissionManager.hpp"
#include "covers/SnapResult.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Task.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "ui/PanelHost.hpp"

namespace talvori {

namespace {

// Whether a nudge from `current` to `moved` takes `edge` further away from the same edge of
// `target`.
bool leavesEdge(SnapEdge edge, const Rect& current, const Rect& moved, const Rect& target) {
    auto distance = [&](const Rect& frame) {
        switch (edge) {
            case SnapEdge::left:
                return std::abs(frame.minX() - target.minX());
            case SnapEdge::right:
                return std::abs(frame.maxX() - target.maxX());
            case SnapEdge::bottom:
                return std::abs(frame.minY() - target.minY());
            case SnapEdge::top:
                return std::abs(frame.maxY() - target.maxY());
        }
        return 0.0;
    };
    return distance(moved) > distance(current);
}

// Snapping for a keyboard nudge. Plain snapping would pull a cover that is flush with an edge
// straight back onto it after a nudge of less than the threshold, so arrow keys could never move
// it off that edge: an edge the nudge takes away from its screen edge does not snap. Edges the
// nudge approaches or runs along snap as usual.
SnapResult snapNudge(const Rect& current, const Rect& moved, const Rect& target) {
    SnapResult result = SnapResult::snap(moved, target);
    std::erase_if(result.snappedEdges,
                  [&](SnapEdge edge) { return leavesEdge(edge, current, moved, target); });
    const auto& edges = result.snappedEdges;
    double x = moved.minX();
    if (edges.count(SnapEdge::right)) {
        x = target.maxX() - moved.width();
    } else if (edges.count(SnapEdge::left)) {
        x = target.minX();
    }
    double y = moved.minY();
    if (edges.count(SnapEdge::top)) {
        y = target.maxY() - moved.height();
    } else if (edges.count(SnapEdge::bottom)) {
        y = target.minY();
    }
    result.frame = Rect({x, y}, moved.size);
    return result;
}

bool isCommandHeld() {
    return (platform().input().modifierFlags() & ModifierFlags::command) != 0;
}

}  // namespace

std::shared_ptr<OverlayWindowController> OverlayWindowController::create(
    std::shared_ptr<OverlayViewModel> viewModel) {
    return std::shared_ptr<OverlayWindowController>(
        new OverlayWindowController(std::move(viewModel)));
}

// ---- Life

void OverlayWindowController::show() {
    auto panel = OverlayPanel::make(viewModel_->model.peek().frame.rect());
    std::weak_ptr<OverlayWindowController> weak = weak_from_this();
    blurHost_ = std::make_shared<BlurHostView>();
    panel->window().setHostedContent(ui::PanelHost::make(
        OverlayView{viewModel_, weakly(weak, &OverlayWindowController::handleHover), blurHost_}));
    blurHost_->moveToWindow(panel->sharedWindow());
    panel->onOpacityChange = weakly(weak, &OverlayWindowController::handleOpacityChange);
    wirePanelCallbacks(*panel);
    panel_ = panel;
    observePanel();
    panel->window().orderFront();
    installTrackingArea();
}

void OverlayWindowController::close() {
    closeObserver_.reset();
    detach();
    moveObserver_.reset();
    resizeObserver_.reset();
    screenObserver_.reset();
    if (blurHost_) blurHost_->moveToWindow(nullptr);
    if (auto panel = std::exchange(panel_, nullptr)) panel->window().close();
}

void OverlayWindowController::syncPanelState() {
    if (!panel_) return;
    const bool clickThrough = viewModel_->model.peek().isClickThroughEnabled;
    panel_->window().setIgnoresMouseEvents(clickThrough);
    if (clickThrough && panel_->onHandlesVisibilityChange) panel_->onHandlesVisibilityChange(false);
    panel_->isLocked = isLocked();
    panel_->isAttached = viewModel_->model.peek().attachmentInfo.has_value();
}

void OverlayWindowController::wirePanelCallbacks(OverlayPanel& panel) {
    using Self = OverlayWindowController;
    std::weak_ptr<Self> weak = weak_from_this();
    auto to = [&weak](auto action) { return weakly(weak, action); };
    panel.onHandlesVisibilityChange = to(&OverlayWindowController::setHandlesVisible);
    panel.onHandleHoverChange = to([](Self& self, std::optional<ResizeHandle> handle) {
        self.viewModel_->hoveredHandle.set(handle);
    });
    panel.onResizeStart =
        to([](Self& self, ResizeHandle handle, Point at) { self.handleResizeStart(handle, at); });
    panel.onResizeDrag = to(&OverlayWindowController::handleResizeDrag);
    panel.onResizeEnd = to(&OverlayWindowController::handleResizeEnd);
    panel.onDragStart = to([](Self& self) { self.viewModel_->isDragging.set(true); });
    panel.onDragEnd = to([](Self& self) { self.viewModel_->isDragging.set(false); });
    panel.onNudgeByKeyboard = to(&OverlayWindowController::handleNudge);
    panel.onResizeByKeyboard = to(&OverlayWindowController::handleResizeByKeyboard);
    panel.onResetSize = to(&OverlayWindowController::resetSize);
    panel.onCenterOnScreen = to(&OverlayWindowController::centerOnScreen);
    panel.onFillScreen = to(&OverlayWindowController::fillScreen);
    panel.onScale = to(&OverlayWindowController::scale);
}

// Moves and resizes of the panel arrive synchronously, inside the frame change that causes them;
// screen changes on a later turn.
void OverlayWindowController::observePanel() {
    std::weak_ptr<OverlayWindowController> weak = weak_from_this();
    auto didMove = weakly(weak, &OverlayWindowController::panelDidMove);
    auto screensChanged = weakly(weak, &OverlayWindowController::handleScreenChange);
    NotificationCenter& center = platform().notificationCenter();
    const void* window = panel_->sharedWindow().get();
    moveObserver_ = center.addObserver(Panel::kDidMoveNotification, window,
                                       NotificationDelivery::synchronous, didMove);
    resizeObserver_ = center.addObserver(Panel::kDidResizeNotification, window,
                                         NotificationDelivery::synchronous, didMove);
    screenObserver_ = center.addObserver(Screens::kDidChangeParametersNotification, nullptr,
                                         NotificationDelivery::mainQueue, screensChanged);
    // Our own close stops observing first: a close seen here came from elsewhere.
    closeObserver_ =
        center.addObserver(Panel::kWillCloseNotification, window, NotificationDelivery::mainQueue,
                           weakly(weak, [](OverlayWindowController& self, const Notification&) {
                               if (self.onClosedElsewhere)
                                   self.onClosedElsewhere(self.viewModel_->id());
                           }));
}

void OverlayWindowController::installTrackingArea() {
    Panel& window = panel_->window();
    if (panel_->trackingArea) window.removeTrackingArea(*panel_->trackingArea);
    panel_->trackingArea = window.addTrackingArea(TrackingArea{std::nullopt, true});
}

// ---- Geometry helpers

std::optional<Rect> OverlayWindowController::visibleFrame() const {
    if (panel_) {
        if (const auto screen = panel_->window().screen()) return screen->visibleFrame;
    }
    if (const auto main = platform().screens().mainScreen()) return main->visibleFrame;
    return std::nullopt;
}

Size OverlayWindowController::minSize() const {
    return panel_ ? panel_->window().minSize() : OverlayPanel::kMinSize;
}

void OverlayWindowController::moveTo(const Rect& frame) {
    panel_->window().setFrame(frame, true);
    panelDidMove();
}

void OverlayWindowController::storeFrame(const Rect& frame) {
    viewModel_->model.modify(
        [&](OverlayModel& model) { model.frame = CodableRect::fromRect(frame); });
}

// ---- Intents

void OverlayWindowController::handleOpacityChange(double opacity) {
    const double clamped = std::max(std::min(opacity, 1.0), 0.1);
    viewModel_->model.modify([&](OverlayModel& model) { model.opacity = clamped; });
}

void OverlayWindowController::handleHover(bool isHovering) {
    if (!panel_) return;
    if (isHovering) {
        if (onHover) onHover(viewModel_->id(), panel_->frame());
    } else if (onHoverEnd) {
        onHoverEnd();
    }
}

void OverlayWindowController::setHandlesVisible(bool visible) {
    viewModel_->isHandlesVisible.set(visible);
    if (!visible) viewModel_->hoveredHandle.set(std::nullopt);
}

void OverlayWindowController::handleResizeStart(ResizeHandle handle, Point location) {
    if (!panel_) return;
    const Rect frame = panel_->frame();
    resizeHandle_ = handle;
    resizeAnchor_ = ResizeHandle::anchorPoint(handle, frame);
    const Point grabbed = ResizeHandle::movingPoint(handle, frame);
    resizeGrabOffset_ = {grabbed.x - location.x, grabbed.y - location.y};
    resizeInitialFrame_ = frame;
    viewModel_->isResizing.set(true);
    viewModel_->activeHandle.set(handle);
    viewModel_->originalFrame.set(frame);
    viewModel_->snappedEdges.set({});
}

void OverlayWindowController::handleResizeDrag(Point location) {
    if (!panel_ || !resizeHandle_ || !resizeAnchor_) return;
    const Rect initial = resizeInitialFrame_.value_or(panel_->frame());
    const Point grabbed{location.x + resizeGrabOffset_.x, location.y + resizeGrabOffset_.y};
    Rect frame = ResizeHandle::resizedFrame(*resizeHandle_, *resizeAnchor_, grabbed, minSize());
    // An edge handle moves one axis; the other keeps the frame the resize started with.
    const ResizeHandle handle = *resizeHandle_;
    if (handle == ResizeHandle::top || handle == ResizeHandle::bottom) {
        frame = Rect({initial.minX(), frame.minY()}, {initial.width(), frame.height()});
    } else if (handle == ResizeHandle::left || handle == ResizeHandle::right) {
        frame = Rect({frame.minX(), initial.minY()}, {frame.width(), initial.height()});
    }
    std::set<SnapEdge> edges;
    if (!isCommandHeld()) {
        if (const auto target = visibleFrame()) {
            SnapResult snapped = SnapResult::snap(frame, *target);
            frame = snapped.frame;
            edges = std::move(snapped.snappedEdges);
        }
    }
    viewModel_->snappedEdges.set(edges);
    panel_->window().setFrame(frame, true);
    storeFrame(frame);
    viewModel_->liveDimensions.set(frame.size);
}

void OverlayWindowController::handleResizeEnd() {
    viewModel_->isResizing.set(false);
    viewModel_->activeHandle.set(std::nullopt);
    viewModel_->originalFrame.set(std::nullopt);
    viewModel_->liveDimensions.set(std::nullopt);
    viewModel_->snappedEdges.set({});
    resizeAnchor_.reset();
    resizeHandle_.reset();
    resizeInitialFrame_.reset();
    panelDidMove();
}

void OverlayWindowController::handleNudge(double dx, double dy) {
    if (!panel_ || isLocked()) return;
    const Rect current = panel_->frame();
    const Rect moved({current.minX() + dx, current.minY() + dy}, current.size);
    const auto target = visibleFrame();
    if (!target) {
        panel_->window().setFrameOrigin(moved.origin);
        panelDidMove();
        return;
    }
    const SnapResult snapped = snapNudge(current, moved, *target);
    if (!snapped.snappedEdges.empty()) lightSnappedEdgesBriefly(snapped.snappedEdges);
    panel_->window().setFrameOrigin(snapped.frame.origin);
    panelDidMove();
}

// Every snapping nudge starts its own clearing task: a later nudge does not extend the light.
void OverlayWindowController::lightSnappedEdgesBriefly(const std::set<SnapEdge>& edges) {
    viewModel_->snappedEdges.set(edges);
    std::weak_ptr<OverlayViewModel> weak = viewModel_;
    (void)Task::start(platform().runLoop(), [weak]() -> Async {
        (void)co_await Task::sleep(kNudgeSnapHighlight);
        withOwner(weak, [](OverlayViewModel& viewModel) { viewModel.snappedEdges.set({}); });
    });
}

void OverlayWindowController::handleResizeByKeyboard(double dw, double dh) {
    if (!panel_ || isLocked()) return;
    const Rect frame = panel_->frame();
    const Size minimum = minSize();
    const double width = std::max(frame.width() + dw, minimum.width);
    const double height = std::max(frame.height() + dh, minimum.height);
    // The top-left corner stays where it is.
    moveTo(Rect(frame.minX(), frame.minY() - (height - frame.height()), width, height));
}

void OverlayWindowController::resetSize() {
    if (!panel_ || isLocked()) return;
    const auto target = visibleFrame();
    if (!target) return;
    moveTo(Rect(target->midX() - kResetSize.width / 2, target->midY() - kResetSize.height / 2,
                kResetSize.width, kResetSize.height));
}

void OverlayWindowController::centerOnScreen() {
    if (!panel_ || isLocked()) return;
    const auto target = visibleFrame();
    if (!target) return;
    const Rect frame = panel_->frame();
    panel_->window().setFrameOrigin(
        {target->midX() - frame.width() / 2, target->midY() - frame.height() / 2});
    panelDidMove();
}

void OverlayWindowController::fillScreen() {
    if (!panel_ || isLocked()) return;
    if (const auto target = visibleFrame()) moveTo(*target);
}

void OverlayWindowController::scale(double factor) {
    if (!panel_ || isLocked()) return;
    const Rect frame = panel_->frame();
    const Size minimum = minSize();
    const double width = std::max(factor * frame.width(), minimum.width);
    const double height = std::max(factor * frame.height(), minimum.height);
    moveTo(Rect(frame.midX() - width / 2, frame.midY() - height / 2, width, height));
}

void OverlayWindowController::handleScreenChange() {
    if (!panel_) return;
    const auto screens = platform().screens().screens();
    if (screens.empty()) return;
    const Rect frame = panel_->frame();
    const bool onSomeScreen =
        std::any_of(screens.begin(), screens.end(),
                    [&](const Screen& screen) { return frame.intersects(screen.visibleFrame); });
    if (onSomeScreen) return;
    const auto main = platform().screens().mainScreen();
    if (!main) return;
    moveTo(Rect(main->visibleFrame.origin, frame.size));
}

void OverlayWindowController::recordFollowedFrame() {
    if (panel_ && attachmentService_) storeFrame(panel_->frame());
}

void OverlayWindowController::panelDidMove() {
    if (!panel_ || isUpdatingFromTarget_) return;
    const Rect frame = panel_->frame();
    storeFrame(frame);
    if (onMove) onMove(viewModel_->id(), frame);
    if (lastTargetFrame_) {
        relativeAnchor_ =
            Point{frame.minX() - lastTargetFrame_->minX(), lastTargetFrame_->maxY() - frame.maxY()};
    }
}

// ---- Attachment

void OverlayWindowController::attach(const AttachmentTarget& target) {
    if (attachmentService_) detach();
    const auto& permissions = PermissionManager::shared();
    if (!permissions->accessibilityCheck()) {
        permissions->requestAccessibility(
            weakly(weak_from_this(), [target](OverlayWindowController& self, bool granted) {
                // A cover closed while trust was pending stays closed and free.
                if (granted && self.panel_) self.attach(target);
            }));
        return;
    }
    auto service = WindowAttachmentService::create();
    service->delegate = weak_from_this();
    service->attach(target);
    if (!service->targetElement()) return;
    attachmentService_ = std::move(service);
    viewModel_->model.modify(
        [&](OverlayModel& model) { model.attachmentInfo = target.attachmentInfo(); });
    if (panel_) panel_->isAttached = true;
    startZOrderIfNeeded();
}

namespace {

// Out of line: inlined into the model's copy, the reset makes g++ 12 at -O3 take the attachment's
// texts for uninitialised when the copy is compared and stored (a false alarm of its flow
// analysis).
[[gnu::noinline]] void clearAttachment(OverlayModel& model) {
    model.attachmentInfo.reset();
}

}  // namespace

void OverlayWindowController::detach() {
    stopZOrderService();
    if (auto service = std::exchange(attachmentService_, nullptr)) service->stop();
    lastTargetFrame_.reset();
    relativeAnchor_.reset();
    viewModel_->model.modify(clearAttachment);
    if (!panel_) return;
    panel_->window().setLevel(WindowLevel::floating);
    panel_->window().orderFront();
    panel_->isAttached = false;
}

void OverlayWindowController::targetFrameDidChange(const Rect& frame) {
    if (!panel_) return;
    lastTargetFrame_ = frame;
    const Rect cover = panel_->frame();
    if (!relativeAnchor_) {
        relativeAnchor_ = Point{cover.minX() - frame.minX(), frame.maxY() - cover.maxY()};
        return;
    }
    const Point origin{frame.minX() + relativeAnchor_->x,
                       frame.maxY() - relativeAnchor_->y - cover.height()};
    if (origin == cover.origin) return;
    // Following the target is not a move of the user's: the record keeps its frame.
    isUpdatingFromTarget_ = true;
    panel_->window().setFrameOrigin(origin);
    isUpdatingFromTarget_ = false;
}

void OverlayWindowController::targetAppDidActivate(bool isTarget) {
    if (zOrderService_) {
        zOrderService_->targetActivationChanged(isTarget);
    } else if (panel_) {
        panel_->window().orderFront();
    }
}

void OverlayWindowController::startZOrderIfNeeded() {
    if (viewModel_->model.peek().zOrderMode != ZOrderMode::smart || !panel_ ||
        !attachmentService_ || !attachmentService_->targetElement()) {
        return;
    }
    stopZOrderService();
    zOrderService_ = ZOrderService::create(panel_->sharedWindow(), attachmentService_->targetPID(),
                                           *attachmentService_->targetElement());
    zOrderService_->start();
}

void OverlayWindowController::stopZOrderService() {
    if (auto service = std::exchange(zOrderService_, nullptr)) service->stop();
}

void OverlayWindowController::applyZOrderMode() {
    if (!viewModel_->model.peek().attachmentInfo) return;
    if (viewModel_->model.peek().zOrderMode == ZOrderMode::smart) {
        startZOrderIfNeeded();
        return;
    }
    stopZOrderService();
    if (!panel_) return;
    panel_->window().setLevel(WindowLevel::floating);
    panel_->window().orderFront();
}

}  // namespace talvori

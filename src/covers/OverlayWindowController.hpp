#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "covers/BlurHostView.hpp"
#include "covers/OverlayPanel.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/ResizeHandle.hpp"
#include "covers/WindowAttachmentDelegate.hpp"
#include "covers/WindowAttachmentService.hpp"
#include "covers/ZOrderService.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/UUID.hpp"

namespace talvori {

// The owner of one open cover's window. It shows the cover's view in an OverlayPanel, carries out
// every intent the panel reports (resize by handle with edge snapping, move, nudge, keyboard
// resize, reset, centre, fill, scale, typed opacity), writes the resulting frame into the cover's
// record, keeps the cover on a screen when displays change, and reports hover and moves to the
// application core. While the cover is attached to another application's window it also owns the
// service that follows that window and, in smart z-order, the one that keeps the cover above it.
// Main thread only; every callback it installs holds it weakly.
class OverlayWindowController : public WindowAttachmentDelegate,
                                public std::enable_shared_from_this<OverlayWindowController> {
  public:
    // The size a reset gives a cover.
    static constexpr Size kResetSize{300, 200};
    // How long the edges a keyboard nudge snapped to stay lit.
    static constexpr double kNudgeSnapHighlight = 0.2;

    static std::shared_ptr<OverlayWindowController> create(
        std::shared_ptr<OverlayViewModel> viewModel);
    OverlayWindowController(const OverlayWindowController&) = delete;
    OverlayWindowController& operator=(const OverlayWindowController&) = delete;

    const std::shared_ptr<OverlayViewModel>& viewModel() const { return viewModel_; }
    // Present between show() and close().
    const std::shared_ptr<OverlayPanel>& panel() const { return panel_; }

    // The pointer entered the cover.
    std::function<void(const UUID& id, const Rect& frame)> onHover;
    // The pointer left the cover.
    std::function<void()> onHoverEnd;
    // The cover's frame changed.
    std::function<void(const UUID& id, const Rect& frame)> onMove;
    // Another program closed the cover's window (on a later turn than the close).
    std::function<void(const UUID& id)> onClosedElsewhere;

    // Builds the panel at the record's frame, shows the cover's view in it and orders it front.
    void show();
    // Detaches, stops observing and closes the panel.
    void close();
    // Mirrors click-through, lock and attachment into the panel.
    void syncPanelState();

    // ---- Intents of the panel and the view
    void handleOpacityChange(double opacity);
    void handleHover(bool isHovering);
    // `location` is where the pointer was pressed, in screen coordinates.
    void handleResizeStart(ResizeHandle handle, Point location);
    void handleResizeDrag(Point location);
    void handleResizeEnd();
    void handleNudge(double dx, double dy);
    void handleResizeByKeyboard(double dw, double dh);
    void resetSize();
    void centerOnScreen();
    void fillScreen();
    void scale(double factor);
    void handleScreenChange();

    // ---- Attachment
    // Follows the target's window, asking for Accessibility trust first when needed; the record
    // keeps what finds that window again.
    void attach(const AttachmentTarget& target);
    // Stops following and stacking and clears the record's attachment; the cover stays where it is,
    // floating.
    void detach() override;
    // Applies the record's z-order mode to an attached cover. No control switches the mode yet;
    // the tests switch it through here.
    void applyZOrderMode();
    // Writes the panel's frame into the record and reports it.
    void panelDidMove() override;
    // While the cover follows a window its record keeps the frame it was given: this writes in
    // where the window took it, for a record about to be saved or snapshotted.
    void recordFollowedFrame();
    void targetFrameDidChange(const Rect& frame) override;
    void targetAppDidActivate(bool isTarget) override;

    const std::shared_ptr<WindowAttachmentService>& attachmentService() const {
        return attachmentService_;
    }
    const std::shared_ptr<ZOrderService>& zOrderService() const { return zOrderService_; }
    const std::optional<Rect>& lastTargetFrame() const { return lastTargetFrame_; }
    // The cover's offset from the followed window: x from its left edge, y down from its top edge.
    const std::optional<Point>& relativeAnchor() const { return relativeAnchor_; }

  private:
    explicit OverlayWindowController(std::shared_ptr<OverlayViewModel> viewModel)
        : viewModel_(std::move(viewModel)) {}

    void wirePanelCallbacks(OverlayPanel& panel);
    void observePanel();
    void installTrackingArea();
    void startZOrderIfNeeded();
    void stopZOrderService();
    // The visible frame of the panel's screen, or of the main screen; none without screens.
    std::optional<Rect> visibleFrame() const;
    // Sets the panel's frame (redisplaying) and ends in panelDidMove().
    void moveTo(const Rect& frame);
    void storeFrame(const Rect& frame);
    void setHandlesVisible(bool visible);
    void lightSnappedEdgesBriefly(const std::set<SnapEdge>& edges);
    Size minSize() const;
    bool isLocked() const { return viewModel_->isLocked.peek(); }

    std::shared_ptr<OverlayViewModel> viewModel_;
    std::shared_ptr<OverlayPanel> panel_;
    std::shared_ptr<BlurHostView> blurHost_;
    Registration moveObserver_;
    Registration resizeObserver_;
    Registration screenObserver_;
    Registration closeObserver_;
    std::shared_ptr<WindowAttachmentService> attachmentService_;
    std::shared_ptr<ZOrderService> zOrderService_;
    std::optional<Rect> lastTargetFrame_;
    std::optional<Point> relativeAnchor_;
    bool isUpdatingFromTarget_ = false;
    std::optional<Point> resizeAnchor_;
    // From the pointer to the corner or edge it grabbed, kept through the drag.
    Point resizeGrabOffset_;
    std::optional<ResizeHandle> resizeHandle_;
    std::optional<Rect> resizeInitialFrame_;
};

}  // namespace talvori

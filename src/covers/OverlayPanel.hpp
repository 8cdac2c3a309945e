#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "covers/ResizeHandle.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/desktop/CollectionBehavior.hpp"
#include "platform/desktop/Event.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/WindowEventHandler.hpp"

namespace talvori {

// The window of one cover: a borderless, non-activating floating panel that turns raw mouse and
// key input into a few intents (show or hide the handles, hover a handle, resize, move, nudge or
// resize by keyboard, typed opacity, reset, centre, fill, scale). It moves the window itself only
// for a plain move drag and reports everything else through its callbacks, which the cover's window
// controller installs. It knows nothing of the cover's record; the controller mirrors the two
// facts it needs (locked, attached) into it.
class OverlayPanel : public WindowEventHandler, public std::enable_shared_from_this<OverlayPanel> {
  public:
    // Every space, stationary, beside full-screen windows.
    static constexpr unsigned kCollectionBehavior = CollectionBehavior::canJoinAllSpaces |
                                                    CollectionBehavior::stationary |
                                                    CollectionBehavior::fullScreenAuxiliary;
    static constexpr Size kMinSize{50, 20};

    // Makes the window with `contentRect` in the global space, floating, not yet on screen.
    static std::shared_ptr<OverlayPanel> make(const Rect& contentRect);
    OverlayPanel(const OverlayPanel&) = delete;
    OverlayPanel& operator=(const OverlayPanel&) = delete;

    Panel& window() const { return *window_; }
    const std::shared_ptr<Panel>& sharedWindow() const { return window_; }
    Rect frame() const { return window_->frame(); }

    // Mirror of the cover's lock: blocks resize, move, the handle cursors and zoom.
    bool isLocked = false;
    // Mirror of whether the cover follows another application's window.
    bool isAttached = false;
    // The hover tracking area the controller installed.
    std::optional<int> trackingArea;
    // Seconds within which a second digit combines with the first.
    double comboTimeout = 1.0;

    std::function<void(double opacity)> onOpacityChange;
    std::function<void(bool visible)> onHandlesVisibilityChange;
    std::function<void(std::optional<ResizeHandle>)> onHandleHoverChange;
    std::function<void(ResizeHandle, Point location)> onResizeStart;
    std::function<void(Point location)> onResizeDrag;
    std::function<void()> onResizeEnd;
    std::function<void()> onDragStart;
    std::function<void()> onDragEnd;
    std::function<void(double dx, double dy)> onNudgeByKeyboard;
    std::function<void(double dw, double dh)> onResizeByKeyboard;
    std::function<void()> onResetSize;
    std::function<void()> onCenterOnScreen;
    std::function<void()> onFillScreen;
    std::function<void(double factor)> onScale;

    bool isDraggingHandle() const { return isDraggingHandle_; }
    bool isDraggingWindow() const { return isDraggingWindow_; }

    // The window's standard zoom, unless locked.
    void zoom();
    // An arrow key with the key event's device-independent flags; whether it was handled.
    bool handleArrowKey(SpecialKey key, std::uint64_t flags);
    // A typed digit: one digit sets tenths (0 is full opacity), a second one within the combo
    // timeout makes a percentage with the first.
    void handleOpacityDigit(int digit);

    // ---- Events of the window
    void mouseEntered(Panel&, const Event&) override;
    void mouseExited(Panel&, const Event&) override;
    void mouseMoved(Panel&, const Event&) override;
    bool mouseDown(Panel&, const Event&) override;
    bool mouseDragged(Panel&, const Event&) override;
    bool mouseUp(Panel&, const Event&) override;
    bool keyDown(Panel&, const Event&) override;

  private:
    explicit OverlayPanel(std::shared_ptr<Panel> window) : window_(std::move(window)) {}

    void configureWindow();
    Rect bounds() const { return Rect({0, 0}, window_->frame().size); }
    std::optional<ResizeHandle> handleAt(Point point) const;
    void endDragHover(const Event& event, bool readHandle);
    bool handleCommandShortcut(const std::string& characters, std::uint64_t flags);

    std::shared_ptr<Panel> window_;
    bool isDraggingHandle_ = false;
    bool isDraggingWindow_ = false;
    Point dragInitialMouseLocation_;
    Point dragInitialWindowOrigin_;
    std::optional<int> lastDigit_;
    std::optional<double> lastKeyTime_;
};

}  // namespace talvori

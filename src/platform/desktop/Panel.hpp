#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Geometry.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/desktop/AnimationBehavior.hpp"
#include "platform/desktop/AnimationCurve.hpp"
#include "platform/desktop/Appearance.hpp"
#include "platform/desktop/Color.hpp"
#include "platform/desktop/HostedContent.hpp"
#include "platform/desktop/PropertyAnimation.hpp"
#include "platform/desktop/Responder.hpp"
#include "platform/desktop/Screen.hpp"
#include "platform/desktop/TrackingArea.hpp"
#include "platform/desktop/WindowEventHandler.hpp"

namespace talvori {

enum class WindowOrderingMode { below = -1, above = 1 };

// The content of a panel without a hosted view: a plain layer filling the window.
struct ContentLayer {
    Color backgroundColor = Color::clear();
    double cornerRadius = 0;

    bool operator==(const ContentLayer&) const = default;
};

// One of our own windows: a borderless panel (covers, the dimming panel, the menu-bar panel,
// callouts) or a titled scene window. The application object makes them. Frames are in the global
// space (bottom-left origin, y up); a panel's content fills its frame.
//
// Window notifications go to the platform's notification center with the panel as sender, and
// are posted synchronously inside the call that causes them (a frame setter, makeKey, close).
class Panel : public std::enable_shared_from_this<Panel> {
  public:
    static constexpr const char* kDidMoveNotification = "WindowDidMove";
    static constexpr const char* kDidResizeNotification = "WindowDidResize";
    static constexpr const char* kDidBecomeKeyNotification = "WindowDidBecomeKey";
    static constexpr const char* kDidResignKeyNotification = "WindowDidResignKey";
    static constexpr const char* kWillCloseNotification = "WindowWillClose";

    virtual ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // Assigned at creation, never 0, shared with the window list's numbers.
    virtual std::uint32_t windowNumber() const = 0;
    unsigned styleMask() const { return styleMask_; }

    // ---- Frame
    Rect frame() const { return frame_; }
    // Stops a frame animation. Posts did-move and did-resize (as they apply) before returning.
    void setFrame(const Rect& frame, bool display = true);
    void setFrameOrigin(const Point& origin);
    // Animates to `target`, stepping the frame (and its notifications) every frame. A newer frame
    // animation or setFrame supersedes this one, whose completion then still runs.
    void animateFrame(const Rect& target, double duration, AnimationCurve curve,
                      std::function<void()> completion = {});
    Size minSize() const { return minSize_; }
    void setMinSize(Size size) { minSize_ = size; }
    // The screen showing most of the panel; absent when it is on none.
    virtual std::optional<Screen> screen() const = 0;
    // The standard zoom of a window.
    virtual void zoom() = 0;

    // ---- Level and order
    int level() const { return level_; }
    void setLevel(int level);
    // To the front of its level; never activates the application.
    virtual void orderFront() = 0;
    void orderFrontRegardless() { orderFront(); }
    void makeKeyAndOrderFront();
    virtual void orderOut() = 0;
    // Directly above or below window `other`, within this panel's own level: against a window of
    // another level the panel goes to the end of its level nearest that window. Returns false,
    // changing nothing, when `other` is 0, this panel, or not on screen.
    virtual bool orderRelative(WindowOrderingMode mode, std::uint32_t other) = 0;
    virtual bool isVisible() const = 0;
    // Posts will-close, orders out, gives up key status and content. Closing twice does nothing.
    void close();
    bool isClosed() const { return closed_; }

    // ---- Key status and keyboard focus
    // By default only titled (or resizable) windows can become key, and only titled ones main.
    bool canBecomeKey() const { return canBecomeKey_; }
    void setCanBecomeKey(bool value) { canBecomeKey_ = value; }
    bool canBecomeMain() const { return canBecomeMain_; }
    void setCanBecomeMain(bool value) { canBecomeMain_ = value; }
    virtual bool isKeyWindow() const = 0;
    // Makes the panel the key window (when it can become key) without activating the application.
    virtual void makeKey() = 0;
    // The responder holding keyboard focus; null means the panel itself.
    std::shared_ptr<Responder> firstResponder() const { return firstResponder_.lock(); }
    // Moves keyboard focus; null takes it from every field. False when the current responder
    // refuses to resign or the new one refuses to become first responder (focus then stays or
    // falls back to the panel).
    bool makeFirstResponder(const std::shared_ptr<Responder>& responder);

    // ---- Alpha
    // Mid-animation this is the value on screen at the current time.
    double alphaValue() const;
    // Stops an alpha animation.
    void setAlphaValue(double alpha);
    // A newer alpha animation or setAlphaValue supersedes this one, whose completion then still
    // runs. The animation keeps the panel alive until it ends.
    void animateAlphaValue(double target, double duration, AnimationCurve curve,
                           std::function<void()> completion = {});

    // ---- Window appearance
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool value) { opaque_ = value; }
    Color backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(Color color);
    bool hasShadow() const { return hasShadow_; }
    void setHasShadow(bool value) { hasShadow_ = value; }
    // Where translucent windows cannot blend (Application::isCompositing is false) their clear
    // parts would show black. A panel shaped to its content (the default: a card on a clear ground,
    // with a shadow margin, rounded corners or a beak) then shows only where its content is mostly
    // opaque (its shadow is not); one that is not (a cover) shows its whole frame.
    bool isShapedToContent() const { return shapedToContent_; }
    void setShapedToContent(bool value) { shapedToContent_ = value; }
    int backgroundBlurRadius() const { return blurRadius_; }
    // The window server's blur of what lies behind the panel, in points; false (and no blur) where
    // the window server offers none.
    virtual bool setBackgroundBlurRadius(int radius) = 0;

    // ---- The content's layer (used when there is no hosted content)
    const ContentLayer& contentLayer() const { return layer_; }
    // Sets the model value at once; a running colour animation keeps showing until it ends.
    void setContentLayer(const ContentLayer& layer);
    // Animates the layer's background colour on screen from `from` to `to` under `key`, replacing
    // an animation under the same key. The model value is not changed.
    void addBackgroundColorAnimation(const std::string& key, Color from, Color to, double duration,
                                     AnimationCurve curve);
    void removeLayerAnimation(const std::string& key);
    // The background colour on screen now; absent until the panel has first been shown.
    std::optional<Color> presentationBackgroundColor() const;

    // ---- Behaviour
    bool ignoresMouseEvents() const { return ignoresMouseEvents_; }
    void setIgnoresMouseEvents(bool value);
    unsigned collectionBehavior() const { return collectionBehavior_; }
    void setCollectionBehavior(unsigned value) { collectionBehavior_ = value; }
    // By default panels without a title bar are ordered out while another application is active,
    // and come back when we are active again.
    bool hidesOnDeactivate() const { return hidesOnDeactivate_; }
    void setHidesOnDeactivate(bool value) { hidesOnDeactivate_ = value; }
    bool isRestorable() const { return restorable_; }
    void setRestorable(bool value) { restorable_ = value; }
    // A left press on the background (nothing in the content or the event handler takes it) moves
    // the window, as a title bar would.
    bool isMovableByWindowBackground() const { return movableByBackground_; }
    void setMovableByWindowBackground(bool value) { movableByBackground_ = value; }
    // One of AnimationBehavior's values.
    int animationBehavior() const { return animationBehavior_; }
    void setAnimationBehavior(int value) { animationBehavior_ = value; }
    bool isFloatingPanel() const { return floatingPanel_; }
    void setFloatingPanel(bool value) { floatingPanel_ = value; }
    // None: the user's appearance.
    std::optional<Appearance> appearance() const { return appearance_; }
    void setAppearance(std::optional<Appearance> appearance) { appearance_ = appearance; }
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }

    // ---- Content
    // Replaces the hosted content (null: back to the plain layer).
    void setHostedContent(std::shared_ptr<HostedContent> content);
    const std::shared_ptr<HostedContent>& hostedContent() const { return content_; }
    // Redraw on the window server's next pass.
    void setNeedsDisplay();
    // Redraw where the content changed only (content coordinates: top left, y down), so that a
    // backend can send just those pixels to the window server.
    void setNeedsDisplayInRects(const std::vector<Rect>& rects);
    // Redraw now.
    void display();

    // ---- Events
    void setEventHandler(std::weak_ptr<WindowEventHandler> handler) {
        eventHandler_ = std::move(handler);
    }
    std::shared_ptr<WindowEventHandler> eventHandler() const { return eventHandler_.lock(); }
    int addTrackingArea(TrackingArea area);
    void removeTrackingArea(int identifier);
    std::size_t trackingAreaCount() const { return trackingAreas_.size(); }

    // ---- Modal sessions
    // While a sheet or an application-modal alert stands over the panel, the panel takes no mouse
    // or key events (a click on it brings that window to key status instead).
    std::shared_ptr<Panel> blockingWindow() const;
    void setBlockingWindow(std::weak_ptr<Panel> window) { blockingWindow_ = std::move(window); }

    // ---- Routing, called by the backend that owns the pointer and keyboard
    // Mouse down, dragged and up: the content first, then the event handler, then a move by the
    // background. Scroll wheel events: the content only.
    bool handleMouseEvent(const Event& event);
    // The first responder, the content, then the event handler.
    bool handleKeyEvent(const Event& event);
    // The pointer is over the panel's content at `event.locationInWindow` (or, absent, is not):
    // tells the content and the tracking areas about entering, moving and leaving.
    void updateHover(const std::optional<Event>& pointerInside);
    bool isPointerInside() const { return pointerInside_; }

  protected:
    Panel(std::weak_ptr<RunLoop> loop, const Rect& contentRect, unsigned styleMask);

    // Hooks for the backend, each called after the state changed.
    virtual void frameDidChange(const Rect& /*oldFrame*/) {}
    virtual void appearanceDidChange() {}
    // The alpha changed (a step of a fade too); a backend whose window server fades whole windows
    // need not draw again.
    virtual void alphaDidChange() { appearanceDidChange(); }
    virtual void levelDidChange() {}
    virtual void ignoresMouseEventsDidChange() {}
    virtual void contentNeedsDisplay() {}
    // A backend that cannot send part of the window draws it whole.
    virtual void contentNeedsDisplayInRects(const std::vector<Rect>& /*rects*/) {
        contentNeedsDisplay();
    }
    virtual void redrawNow() {}
    virtual void keyStatusWillChange() {}
    // Hands a move by the background, from the left press `press`, to the window system (a window
    // manager's own move); false where it cannot, and the panel then follows the drag itself.
    virtual bool startWindowSystemMove(const Event& /*press*/) { return false; }
    // Orders out and gives up key status, as part of close().
    virtual void closeWindow() = 0;
    virtual void postNotification(const char* name) = 0;

    // The window system moved or resized the window itself (a window manager placing a managed
    // window, the user dragging its title bar): the frame follows, with its notifications, and is
    // not sent back to the backend. Stops a frame animation.
    void windowSystemDidChangeFrame(const Rect& frame);

    // A negative radius (from a stored cover, say) means no blur rather than an invalid request.
    void storeBackgroundBlurRadius(int radius) { blurRadius_ = std::max(0, radius); }
    // The first time a panel reaches the screen its layer has a presentation value.
    void markShown() { hasBeenShown_ = true; }
    // Called by the backend as key status moves.
    void didBecomeKey();
    void didResignKey();
    // Called by the backend after anything that may have put the panel on screen or taken it off
    // (ordering, closing, hiding with the application); the content hears of real changes only.
    void visibilityMayHaveChanged();
    RunLoop* runLoop() const { return loop_.lock().get(); }

  private:
    struct LayerAnimation {
        Color from;
        Color to;
        Nanoseconds start;
        Nanoseconds end;
        AnimationCurve curve;
        std::uint64_t order;
    };
    struct TrackedArea {
        TrackingArea area;
        bool inside = false;
    };

    void applyFrame(const Rect& frame, bool tellBackend = true);
    bool dispatchToEventHandler(const Event& event);
    bool moveByBackground(const Event& event);
    void applyAlpha(double alpha);
    void cancelAnimation(std::weak_ptr<PropertyAnimation>& animation);
    bool areaContains(const TrackedArea& area, const Point& location) const;

    std::weak_ptr<RunLoop> loop_;
    unsigned styleMask_;
    Rect frame_;
    Size minSize_;
    int level_ = 0;
    double alpha_ = 1;
    double alphaFrom_ = 1;
    double alphaTo_ = 1;
    bool closed_ = false;
    bool canBecomeKey_ = true;
    bool canBecomeMain_ = true;
    std::weak_ptr<Responder> firstResponder_;
    bool opaque_ = true;
    Color backgroundColor_ = Color::white();
    bool hasShadow_ = true;
    bool shapedToContent_ = true;
    int blurRadius_ = 0;
    ContentLayer layer_;
    std::map<std::string, LayerAnimation> layerAnimations_;
    std::uint64_t nextLayerAnimationOrder_ = 0;
    bool hasBeenShown_ = false;
    bool ignoresMouseEvents_ = false;
    unsigned collectionBehavior_ = 0;
    bool hidesOnDeactivate_ = false;
    bool restorable_ = true;
    bool movableByBackground_ = false;
    // A move by the background the panel follows itself: where the press was, and the frame's
    // origin then.
    struct BackgroundDrag {
        Point pressedAt;
        Point origin;
    };
    std::optional<BackgroundDrag> backgroundDrag_;
    int animationBehavior_ = AnimationBehavior::automatic;
    bool floatingPanel_ = false;
    std::string title_;
    std::optional<Appearance> appearance_;
    std::string accessibilityLabel_;
    std::shared_ptr<HostedContent> content_;
    std::weak_ptr<WindowEventHandler> eventHandler_;
    std::weak_ptr<Panel> blockingWindow_;
    std::map<int, TrackedArea> trackingAreas_;
    int nextTrackingArea_ = 1;
    bool pointerInside_ = false;
    bool wasVisible_ = false;
    // The run loop keeps a running animation alive, and its step keeps this panel alive; holding
    // the animations weakly here keeps that from becoming a cycle when the loop goes away first.
    std::weak_ptr<PropertyAnimation> alphaAnimation_;
    std::weak_ptr<PropertyAnimation> frameAnimation_;
};

}  // namespace talvori

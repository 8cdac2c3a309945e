#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Registration.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/x11/X11RootSpace.hpp"

namespace talvori::x11 {

class X11Application;
class X11Connection;
class X11PanelPainter;
class X11PanelStacking;

// One of our windows on the X server. Borderless panels are override-redirect windows (the window
// manager leaves them alone; we stack them ourselves, emulating levels); titled windows are
// managed top-levels the window manager decorates and moves. Both use the 32-bit visual where the
// server has one. The panel keeps the window's state, its key status and its appearance; where it
// stands among other windows is its stacking's work, and what it shows its painter's.
class X11Panel final : public Panel {
  public:
    static std::shared_ptr<X11Panel> make(const std::shared_ptr<X11Application>& application,
                                          const Rect& contentRect, unsigned styleMask);
    ~X11Panel() override;

    std::uint32_t windowNumber() const override { return window_; }
    std::optional<Screen> screen() const override;
    void zoom() override;
    void orderFront() override;
    void orderOut() override;
    bool orderRelative(WindowOrderingMode mode, std::uint32_t other) override;
    bool isVisible() const override;
    bool isKeyWindow() const override;
    // While the panel holds the keyboard, a key nothing in it used is typed again once let go,
    // after the hold ends, so that it reaches the window the user works in or the desktop's
    // shortcuts.
    void noteUnusedKey(std::uint8_t key);
    // The keys that move about and press in a panel (Tab, arrows, Space, Return, Escape...):
    // unused there, they stay with it rather than closing it and going to the user's window.
    static bool keepsKey(const Event& event);
    void keyReleased(std::uint8_t key);
    void makeKey() override;
    bool setBackgroundBlurRadius(int radius) override;

    // ---- For the application object
    xcb_window_t window() const { return window_; }
    // A titled window, which the window manager decorates, moves and activates.
    bool isManaged() const { return managed_; }
    // A borderless panel the window manager stacks among its windows (and otherwise leaves alone).
    bool isStackedByWindowManager() const;
    // What stands for the panel among the root's children: itself, or its window manager's frame.
    xcb_window_t stackingWindow() const;
    // The window manager placed the frame of a panel it stacks at `rect`.
    void frameConfigured(const RootRect& rect);
    // The window manager was found able, or not, to keep our own windows between its: a panel it
    // must stack is shown again as one it manages (or the other way round).
    void stackingModeChanged();
    // The first look at how the window manager stacks has told: a panel held back till then shows.
    void stackingLookEnded();
    // The window went into another window (a window manager's frame), or back to the root.
    void reparented(bool toRoot);
    // The compositor started or stopped blurring behind windows that ask for it.
    void blurOfferChanged();
    // Whether the window asks the compositor to blur what lies behind it.
    bool asksForBlur() const { return blurHintWritten_; }
    // The compositor is to draw the whole window anew (and blur behind all of it again).
    void showAgain();
    // Whether the next paint draws the whole window.
    bool needsWholePaint() const;
    // Whether the window is mapped on the server (ordered in, and showable).
    bool isMapped() const;
    // Draws what needs drawing: the damaged areas when only some are, else everything.
    void paint();
    // Part of the window needs drawing again (the server lost it); in window coordinates.
    void damage(const RootRect& area);
    // Shows or hides the window as the compositor allows (it may have come or gone).
    void updateMapping();
    // The window manager placed the managed window at `rect`.
    void windowManagerMoved(const RootRect& rect);
    // The window went into `parent`, its outer corner at `x, y` there.
    void reparentedInto(xcb_window_t parent, std::int32_t x, std::int32_t y);
    xcb_window_t parentWindow() const { return inParent_.parent; }
    // The window manager configured the managed window: a real event places it in its parent, a
    // synthetic one on the root.
    void managedConfigured(const xcb_configure_notify_event_t& configure);
    // The window's parent, a child of the root, was configured.
    void parentConfigured(const xcb_configure_notify_event_t& configure);
    // The window `sibling` was moved or restacked and now stands directly above `below`: a panel
    // ordered against it goes back to its place.
    void siblingRestacked(xcb_window_t sibling, xcb_window_t below);
    // Another program's window went into a new frame (a window manager started, or gave up its
    // frames): a panel ordered against it follows it there.
    void clientReframed(xcb_window_t client);
    // A restack of ours failed (it named a window no longer beside ours): a panel ordered against
    // a window is placed again against that window's frame.
    void placeAfterFailedRestack();
    // Whether the panel was last ordered directly above or below another window.
    bool isRelative() const;
    // Kept in front of the normal windows (see X11PanelStacking::standsInFront).
    bool standsInFront() const;
    // Goes back beside that window when the root's children (bottom to top) show it elsewhere.
    void keepRelation(const std::vector<xcb_window_t>& children);
    // A panel of a raised level goes back to the top of the root's children.
    void raiseToTop();
    // Key status moved to or from this panel.
    void keyStatusChanged(bool isKey);
    // Whether an event with this full sequence number was made before the server saw the latest
    // request to make the panel key: a focus loss it reports belongs to an earlier showing.
    bool predatesKeyRequest(std::uint32_t sequence) const;
    // Whether the panel took the keyboard with a grab of its own.
    bool holdsKeyboard() const { return holdsKeyboard_; }
    void requestAttention();
    // A compositor started while the window existed: it is shown the window as a new one (which
    // puts it at the top of the root's children).
    void introduceToCompositor();
    // Once every panel was shown to the new compositor: a shown one goes back to its place, so
    // that the compositor knows the window it is placed against.
    void returnAfterIntroduction();
    // Whether the compositor's fading of whole windows took over the panel's alpha, or gave it
    // back to its drawing.
    void fadeModeChanged();
    // The panel ordered out as part of hiding while the application is inactive.
    void setHiddenForDeactivation(bool hidden);
    bool isHiddenForDeactivation() const;
    // Another program destroyed the window (xdotool windowclose, a window manager that ended
    // without giving back the windows it held): the panel closes as the user's close would,
    // with no request about a window that is gone.
    void destroyedElsewhere();
    // Lets go of what the window is drawn with, which is made again at the next paint.
    void releaseDrawing();

    // ---- For its stacking and its painter
    using Panel::markShown;
    // Where the window was last put, in root coordinates.
    const RootRect& placed() const { return placed_; }
    // Pixels per point of the display.
    double scale() const { return scale_; }
    // The window id stays the panel's number after the window is gone.
    bool isWindowDestroyed() const { return destroyed_; }
    // The whole window needs drawing again.
    void setNeedsPaint();
    // The compositor fades the window by its opacity property: its pixels are drawn opaque once.
    bool fadesByOpacity() const;
    void writeOpacity();

  protected:
    void frameDidChange(const Rect& oldFrame) override;
    void appearanceDidChange() override;
    void alphaDidChange() override;
    void levelDidChange() override;
    void ignoresMouseEventsDidChange() override;
    void contentNeedsDisplay() override;
    void contentNeedsDisplayInRects(const std::vector<Rect>& rects) override;
    void redrawNow() override;
    void closeWindow() override;
    void postNotification(const char* name) override;
    bool startWindowSystemMove(const Event& press) override;

  private:
    X11Panel(const std::shared_ptr<X11Application>& application, const Rect& contentRect,
             unsigned styleMask);
    void create();
    void setManagedWindowProperties();
    void applyInputShape();
    bool writeBlurHint();
    void placeInParent();
    void askRootOrigin();
    void notePreviousFocus(const X11Application& application);
    void holdKeyboard();
    void releaseKeyboard();

    std::weak_ptr<X11Application> application_;
    std::shared_ptr<X11Connection> connection_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    bool managed_ = false;
    // The window id stays the panel's number after the window is gone.
    bool destroyed_ = false;
    std::string writtenTitle_;
    RootRect placed_;
    // Pixels per point of the display.
    double scale_ = 1;
    bool blurHintWritten_ = false;
    // Key without the keyboard focus: a click anywhere else ends it.
    bool holdsKeyboard_ = false;
    std::optional<std::uint8_t> unusedKey_;
    Registration pressElsewhere_;
    // The opacity property as last written; absent while the window has none.
    std::optional<std::uint32_t> writtenOpacity_;
    xcb_window_t previousFocus_ = XCB_WINDOW_NONE;
    // Only the answer to the latest question of where the focus was counts.
    std::uint64_t focusAsks_ = 0;
    std::optional<std::uint32_t> keyRequest_;
    // Where a window manager holds the window, as its events told: the real events place the
    // window in its parent, whose place on the root is kept while it is a child of the root.
    struct InParent {
        xcb_window_t parent = XCB_WINDOW_NONE;
        // The inside of the window, relative to the parent's inside.
        RootRect rect;
        std::uint16_t border = 0;
        bool sized = false;
        // The parent's inside on the root, when known.
        std::optional<std::pair<std::int32_t, std::int32_t>> parentOrigin;
        // Only the answer to the latest question of the window's place counts.
        std::uint64_t asks = 0;
    };
    InParent inParent_;
    std::unique_ptr<X11PanelStacking> stacking_;
    std::unique_ptr<X11PanelPainter> painter_;
};

}  // namespace talvori::x11

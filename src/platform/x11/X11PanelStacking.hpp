#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/core/TimerSlot.hpp"
#include "platform/x11/X11RootSpace.hpp"
#include "platform/x11/X11StackingLifecycle.hpp"

namespace talvori {
enum class WindowOrderingMode;
}

namespace talvori::x11 {

class X11Application;
class X11Connection;
class X11Panel;

// Where one panel stands among the root's windows: whether it is ordered in and mapped, who
// stacks it (we do, emulating levels, or the window manager where it cannot keep our windows
// between its own: the lifecycle's phase), and the window it was last ordered directly above or
// below, which it goes back beside whenever other windows come between, as often as the
// lifecycle's limits allow.
class X11PanelStacking {
  public:
    X11PanelStacking(X11Panel& panel, const std::shared_ptr<X11Application>& application,
                     xcb_window_t window);
    X11PanelStacking(const X11PanelStacking&) = delete;
    X11PanelStacking& operator=(const X11PanelStacking&) = delete;

    bool isOrderedIn() const { return orderedIn_; }
    // Whether the window is mapped on the server (ordered in, and showable).
    bool isMapped() const { return mapped_; }
    // A borderless panel the window manager stacks among its windows (and otherwise leaves alone).
    bool isStackedByWindowManager() const { return lifecycle_.isStackedByWindowManager(); }
    // Whether the panel was last ordered directly above or below another window.
    bool isRelative() const { return relation_.has_value(); }
    bool isHiddenForDeactivation() const { return hiddenForDeactivation_; }
    // A mouse-transparent panel of the normal level (the Focus dimming) that is ordered in but
    // placed against no other program's window on screen: it stands in front of the normal
    // windows, those mapped later included, as long as none of them is active above it.
    bool standsInFront() const;

    void orderFront();
    bool orderRelative(WindowOrderingMode mode, std::uint32_t other);
    // The panel is no longer wanted on screen; it stays mapped until unmap().
    void noteOrderedOut();
    void unmap();
    // Shows or hides the window as the compositor allows (it may have come or gone).
    void updateMapping();
    // The panel ordered out as part of hiding while the application is inactive.
    void setHiddenForDeactivation(bool hidden);
    // The panel moved to another level: it goes to the top of it.
    void levelChanged();

    // What stands for the panel among the root's children: itself, or its window manager's frame.
    xcb_window_t stackingWindow() const;
    // The panel was placed anew: the window manager may be corrected again.
    void placedAnew() { lifecycle_.placedAnew(); }
    // The window manager placed the frame of a panel it stacks at `rect`.
    void frameConfigured(const RootRect& rect);
    // The window manager was found able, or not, to keep our own windows between its: a panel it
    // must stack is shown again as one it manages (or the other way round).
    void stackingModeChanged();
    // The first look at how the window manager stacks has told: a panel held back till then shows.
    void stackingLookEnded();
    // The window went into another window (a window manager's frame), or back to the root.
    void reparented(bool toRoot);
    // The window `sibling` was moved or restacked and now stands directly above `below`: a panel
    // ordered against it goes back to its place.
    void siblingRestacked(xcb_window_t sibling, xcb_window_t below);
    // Another program's window went into a new frame (a window manager started, or gave up its
    // frames): a panel ordered against it follows it there.
    void clientReframed(xcb_window_t client);
    // A restack of ours failed (it named a window no longer beside ours): a panel ordered against
    // a window is placed again against that window's frame.
    void placeAfterFailedRestack();
    // Goes back beside that window when the root's children (bottom to top) show it elsewhere.
    void keepRelation(const std::vector<xcb_window_t>& children);
    // Back at the top of the root's children (a panel of a raised level another window went
    // above), as often as restacks that keep one place may go.
    void raiseToTop();
    // The window was put back into the root, at the top of its children: it returns to its place.
    void returnedToRoot();

  private:
    // Points the relation at its window's frame as the client windows know it now.
    void standAgainstCurrentFrame();
    void standAgainst(xcb_window_t frame);
    bool canShow() const;
    bool waitsForStackingLook() const;
    void map();
    // Restacks at once, or once restacks that keep the relation are allowed again.
    void restackAgainstRelation();
    // Whether a restack that keeps the panel's place may go now (and is counted as gone);
    // otherwise it is held until it may. The one bound on every restack another program can set
    // off by moving its windows.
    bool takeRestackTurn();
    void restackWhenAllowed(Nanoseconds at);
    void restackIfDisturbed();
    // Back in front of the normal windows, as often as restacks that keep one place may go.
    void restackToFront();
    void withdrawalWaitRanOut();
    void showInNewStackingMode();
    bool fetchIsTopLevel();
    void announceWithdrawal();
    void requestRestack(xcb_window_t client, std::uint32_t stackMode);
    void requestStackedRestack();
    void awaitRequestAnswer();
    void requestUnanswered();
    void updateStackingKind();
    // Makes the window one the window manager stacks, or one we do, as the lifecycle says.
    void applyStackingKind();
    bool askFullScreen();
    void sendFullScreen(std::uint32_t action);
    void configureToPlaced();
    bool wantsStackingByWindowManager() const;
    bool isRestackInFlight() const;
    // Whether the root's children (bottom to top) show the panel directly beside its window.
    bool standsInRelation(const std::vector<xcb_window_t>& children) const;

    X11Panel& panel_;
    std::weak_ptr<X11Application> application_;
    std::shared_ptr<X11Connection> connection_;
    xcb_window_t window_;
    bool orderedIn_ = false;
    bool mapped_ = false;
    bool hiddenForDeactivation_ = false;
    // Directly above or below another window, as last ordered (with the window last seen
    // directly below that one).
    struct Relation {
        // What stands for it among the root's children, and the window it was named by.
        xcb_window_t sibling;
        xcb_window_t client;
        std::uint32_t mode;
        std::optional<xcb_window_t> siblingBelow;
    };
    std::optional<Relation> relation_;
    // Our own latest restack, until its event is read.
    std::optional<std::uint32_t> restackSent_;
    X11StackingLifecycle lifecycle_;
    // What the phase waits for: the window manager letting go of the window, or carrying out a
    // restack it was asked for.
    TimerSlot phaseWait_;
    // A restack held back until restacks that keep the relation are allowed again.
    TimerSlot heldRestack_;
};

}  // namespace talvori::x11

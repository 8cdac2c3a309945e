#pragma once

#include "platform/core/Time.hpp"

namespace talvori::x11 {

// Where a panel stands in its passage between our own stacking and the window manager's, one phase
// at a time, with what the phase has tried so far (forgotten as the phase changes), and the limits
// that keep a window manager that ignores what it is asked, or undoes it, from being asked for
// ever.
class X11StackingLifecycle {
  public:
    enum class Phase {
        // A window of the root that we stack ourselves (override-redirect).
        atRoot,
        // Handed to the window manager, which frames it and stacks it on request.
        managed,
        // Taken back from the window manager: unmapped until it lets go of the window.
        withdrawing,
        // The window manager did not let go in time: ours again, shown inside its frame until it
        // lets go.
        shownInFrame,
    };

    // How long the window manager is given to let go of a window withdrawn from it.
    static constexpr double kWithdrawalWait = 0.5;
    // Times the frame is asserted again per placement where the window manager moves it elsewhere.
    static constexpr int kFrameReassertions = 3;
    // Placements again after restacks that failed, until a restack is seen to work.
    static constexpr int kFailedRestackRetries = 3;
    // How long the window manager is given to carry out a restack request, and how often one it
    // left undone is asked again: the last ask is given up on well within 2.5 s.
    static constexpr double kRequestAnswerWait = 0.5;
    static constexpr int kUnansweredRequestRetries = 2;
    // Restacks that keep one relation: a few at once, then one per spacing at most, so that a
    // window manager that undoes every one of them is not answered at its own pace.
    static constexpr int kRestackBurst = 5;
    static constexpr double kRestackSpacing = 0.4;

    Phase phase() const { return phase_; }
    bool isStackedByWindowManager() const {
        return phase_ == Phase::managed || phase_ == Phase::withdrawing;
    }

    // ---- Transitions: each answers whether the phase changed.
    // Who stacks the window, decided as it is mapped (a withdrawal decides nothing).
    bool stackBy(bool windowManager);
    bool beginWithdrawal();
    bool withdrawalWaitRanOut();
    // The window manager let go of the window: the phase it was in.
    Phase letGo();

    // ---- The window manager placing the frame of a window it stacks.
    // Moved elsewhere: whether the frame asked for is asserted again.
    bool mayReassertFrame();
    void frameInPlace() { tried_.frameReassertions = 0; }
    void placedAnew() { tried_.frameReassertions = 0; }
    bool isFullScreenAsked() const { return tried_.fullScreenAsked; }
    void noteFullScreenAsked() { tried_.fullScreenAsked = true; }

    // ---- Restacks of our own that failed (a window at the root only).
    bool mayRetryFailedRestack();
    void restackSeen() { tried_.failedRestacks = 0; }

    // ---- Restack requests to the window manager.
    void requestSent() { tried_.requestPending = phase_ == Phase::managed; }
    bool isRequestPending() const { return tried_.requestPending; }
    void requestAnswered();
    // The wait for an answer ran out: whether to ask again; once not, the request is given up.
    bool mayAskAgain();

    // ---- How often one relation is restacked.
    // The panel was ordered against another window, or another way.
    void newRelation();
    // When a restack that keeps the relation may go (now or earlier: at once).
    Nanoseconds nextRestackAt() const;
    void restacked(Nanoseconds now);

  private:
    void enter(Phase phase);

    Phase phase_ = Phase::atRoot;
    struct Tried {
        int frameReassertions = 0;
        bool fullScreenAsked = false;
        int failedRestacks = 0;
        bool requestPending = false;
        int unansweredRequests = 0;
    } tried_;
    // When the next restack would be due if restacks went at the spacing without a burst.
    Nanoseconds restackDue_ = 0;
};

}  // namespace talvori::x11

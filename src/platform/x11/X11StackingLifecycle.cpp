#include "platform/x11/X11StackingLifecycle.hpp"

#include <algorithm>

namespace talvori::x11 {

void X11StackingLifecycle::enter(Phase phase) {
    phase_ = phase;
    tried_ = {};
}

bool X11StackingLifecycle::stackBy(bool windowManager) {
    if (phase_ == Phase::withdrawing || isStackedByWindowManager() == windowManager) return false;
    enter(windowManager ? Phase::managed : Phase::atRoot);
    return true;
}

bool X11StackingLifecycle::beginWithdrawal() {
    if (phase_ != Phase::managed) return false;
    enter(Phase::withdrawing);
    return true;
}

bool X11StackingLifecycle::withdrawalWaitRanOut() {
    if (phase_ != Phase::withdrawing) return false;
    enter(Phase::shownInFrame);
    return true;
}

X11StackingLifecycle::Phase X11StackingLifecycle::letGo() {
    const Phase left = phase_;
    if (left == Phase::withdrawing || left == Phase::shownInFrame) enter(Phase::atRoot);
    return left;
}

bool X11StackingLifecycle::mayReassertFrame() {
    if (tried_.frameReassertions >= kFrameReassertions) return false;
    ++tried_.frameReassertions;
    return true;
}

bool X11StackingLifecycle::mayRetryFailedRestack() {
    if (phase_ != Phase::atRoot || tried_.failedRestacks >= kFailedRestackRetries) return false;
    ++tried_.failedRestacks;
    return true;
}

void X11StackingLifecycle::requestAnswered() {
    tried_.requestPending = false;
    tried_.unansweredRequests = 0;
}

bool X11StackingLifecycle::mayAskAgain() {
    if (!tried_.requestPending) return false;
    if (tried_.unansweredRequests >= kUnansweredRequestRetries) {
        // Given up: a later disturbance asks afresh.
        requestAnswered();
        return false;
    }
    ++tried_.unansweredRequests;
    return true;
}

void X11StackingLifecycle::newRelation() {
    restackDue_ = 0;
    tried_.unansweredRequests = 0;
}

Nanoseconds X11StackingLifecycle::nextRestackAt() const {
    return restackDue_ - (kRestackBurst - 1) * nanosecondsFromSeconds(kRestackSpacing);
}

void X11StackingLifecycle::restacked(Nanoseconds now) {
    restackDue_ = std::max(restackDue_, now) + nanosecondsFromSeconds(kRestackSpacing);
}

}  // namespace talvori::x11

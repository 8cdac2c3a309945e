#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/x11/X11StackingLifecycle.hpp"

namespace talvori::x11 {
namespace {

using Lifecycle = X11StackingLifecycle;
using Phase = Lifecycle::Phase;

Lifecycle in(Phase phase) {
    Lifecycle lifecycle;
    if (phase == Phase::atRoot) return lifecycle;
    lifecycle.stackBy(true);
    if (phase == Phase::managed) return lifecycle;
    lifecycle.beginWithdrawal();
    if (phase == Phase::shownInFrame) lifecycle.withdrawalWaitRanOut();
    return lifecycle;
}

struct Transition {
    const char* name;
    Phase from;
    std::function<void(Lifecycle&)> event;
    Phase to;
};

class X11StackingTransitionTest : public ::testing::TestWithParam<Transition> {};

TEST_P(X11StackingTransitionTest, LeadsToItsPhase) {
    Lifecycle lifecycle = in(GetParam().from);
    GetParam().event(lifecycle);
    EXPECT_EQ(lifecycle.phase(), GetParam().to);
}

INSTANTIATE_TEST_SUITE_P(
    X11StackingLifecycle, X11StackingTransitionTest,
    ::testing::Values(
        // Who stacks the window is decided once it is back at the root, not during a withdrawal.
        Transition{"WithdrawingDecidesNothing", Phase::withdrawing,
                   [](Lifecycle& l) { l.stackBy(false); }, Phase::withdrawing},
        Transition{"LetGoWhileWithdrawing", Phase::withdrawing, [](Lifecycle& l) { l.letGo(); },
                   Phase::atRoot},
        // A window shown in the frame must be shown again as the frame goes.
        Transition{"WaitRanOut", Phase::withdrawing, [](Lifecycle& l) { l.withdrawalWaitRanOut(); },
                   Phase::shownInFrame},
        Transition{"LetGoOnceShownInFrame", Phase::shownInFrame, [](Lifecycle& l) { l.letGo(); },
                   Phase::atRoot},
        Transition{"ShownInFrameStaysOurs", Phase::shownInFrame,
                   [](Lifecycle& l) { l.stackBy(false); }, Phase::shownInFrame},
        Transition{"ShownInFrameHandedBack", Phase::shownInFrame,
                   [](Lifecycle& l) { l.stackBy(true); }, Phase::managed},
        // The wait of a withdrawal that ended does not show a window a later one holds back.
        Transition{"WaitOfAnEndedWithdrawal", Phase::withdrawing,
                   [](Lifecycle& l) {
                       l.letGo();
                       l.stackBy(true);
                       l.withdrawalWaitRanOut();
                   },
                   Phase::managed},
        // A window manager that goes away lets go of the windows it manages.
        Transition{"ManagedLetGo", Phase::managed, [](Lifecycle& l) { l.letGo(); }, Phase::managed},
        Transition{"TakenBackUnframed", Phase::managed, [](Lifecycle& l) { l.stackBy(false); },
                   Phase::atRoot}),
    [](const auto& info) { return std::string(info.param.name); });

// Each retry stops at its limit and starts again once what it retried is seen done.
struct Retry {
    const char* name;
    Phase phase;
    std::function<bool(Lifecycle&)> retry;
    std::function<void(Lifecycle&)> done;
    int limit;
};

class X11StackingRetryTest : public ::testing::TestWithParam<Retry> {};

TEST_P(X11StackingRetryTest, StopsAtItsLimitUntilDone) {
    const Retry& retry = GetParam();
    Lifecycle lifecycle = in(retry.phase);
    retry.done(lifecycle);
    for (int attempt = 0; attempt < retry.limit; ++attempt) EXPECT_TRUE(retry.retry(lifecycle));
    EXPECT_FALSE(retry.retry(lifecycle));
    retry.done(lifecycle);
    EXPECT_TRUE(retry.retry(lifecycle));
}

INSTANTIATE_TEST_SUITE_P(
    X11StackingLifecycle, X11StackingRetryTest,
    ::testing::Values(Retry{"FrameReassertions", Phase::managed, &Lifecycle::mayReassertFrame,
                            &Lifecycle::frameInPlace, Lifecycle::kFrameReassertions},
                      Retry{"FailedRestacks", Phase::atRoot, &Lifecycle::mayRetryFailedRestack,
                            &Lifecycle::restackSeen, Lifecycle::kFailedRestackRetries},
                      // Given up, a request is no longer waited for: the next one is asked afresh.
                      Retry{"UnansweredRequests", Phase::managed, &Lifecycle::mayAskAgain,
                            &Lifecycle::requestSent, Lifecycle::kUnansweredRequestRetries}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(X11StackingLifecycle, AnotherPhaseForgetsWhatTheOldOneTried) {
    Lifecycle lifecycle = in(Phase::managed);
    while (lifecycle.mayReassertFrame()) {
    }
    lifecycle.noteFullScreenAsked();
    lifecycle.requestSent();
    lifecycle.stackBy(false);
    lifecycle.stackBy(true);
    EXPECT_TRUE(lifecycle.mayReassertFrame());
    EXPECT_FALSE(lifecycle.isFullScreenAsked());
    EXPECT_FALSE(lifecycle.isRequestPending());
}

// A window manager that undoes every restack gets a few at once, then one per spacing; a new
// relation gets its few at once again.
TEST(X11StackingLifecycle, RestacksOfOneRelationAreSpacedPastAFew) {
    Lifecycle lifecycle;
    const Nanoseconds spacing = nanosecondsFromSeconds(Lifecycle::kRestackSpacing);
    Nanoseconds now = nanosecondsFromSeconds(10);
    for (int restack = 0; restack < Lifecycle::kRestackBurst; ++restack) {
        EXPECT_LE(lifecycle.nextRestackAt(), now);
        lifecycle.restacked(now);
    }
    EXPECT_EQ(lifecycle.nextRestackAt(), now + spacing);
    now += spacing;
    lifecycle.restacked(now);
    EXPECT_EQ(lifecycle.nextRestackAt(), now + spacing);
    lifecycle.newRelation();
    EXPECT_LE(lifecycle.nextRestackAt(), now);
}

}  // namespace
}  // namespace talvori::x11

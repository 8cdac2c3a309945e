#include <gtest/gtest.h>

#include "covers/CoverWindowTest.hpp"
#include "covers/ScreenRecordingPermission.hpp"
#include "covers/ZOrderService.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {
namespace {

// A cover panel at the floating level, an editor window it keeps above and a mail window that
// can come between them. The screen recording grant is there unless a test takes it away.
class ZOrderServiceTest : public testing::CoverWindowTest {
  protected:
    ZOrderServiceTest() {
        simWindowList().setScreenRecordingGranted(true);
        cover->setLevel(WindowLevel::floating);
        cover->orderFront();
    }

    std::int32_t editor = world().launchApplication("Editor", "org.example.editor");
    std::uint32_t target = world().openWindow(editor, "Notes", {100, 100, 600, 400});
    std::int32_t mail = world().launchApplication("Mail", "org.example.mail");
    std::uint32_t inbox = world().openWindow(mail, "Inbox", {500, 300, 600, 400});
    std::shared_ptr<Panel> cover = makePanel({200, 200, 300, 200});
    std::shared_ptr<ZOrderService> service = make();

    std::shared_ptr<ZOrderService> make() {
        return ZOrderService::create(cover, editor, {AXElement::Kind::window, editor, target});
    }
    void activate(std::int32_t pid) {
        world().activateApplication(pid);
        runUntilIdle();
    }
    int indexOf(std::uint32_t window) const { return world().stackIndex(window); }
    bool isDirectlyAboveTarget() const {
        return indexOf(cover->windowNumber()) + 1 == indexOf(target);
    }
    // The target comes in front of the cover, as when the user clicks it.
    void raiseTarget() {
        world().focusWindow(target);
        runUntilIdle();
        ASSERT_GT(indexOf(cover->windowNumber()), indexOf(target));
    }
};

TEST_F(ZOrderServiceTest, ResolvesBothWindowNumbers) {
    EXPECT_EQ(service->targetWindowID(), target);
    EXPECT_EQ(service->overlayWindowID(), cover->windowNumber());
    simAccessibility().setWindowNumberUnavailable(true);
    EXPECT_EQ(make()->targetWindowID(), 0u);
}

TEST_F(ZOrderServiceTest, StartingWhileTheTargetIsInFrontPutsTheCoverRightAboveIt) {
    activate(editor);
    service->start();
    EXPECT_TRUE(service->isRunning());
    EXPECT_TRUE(service->isTargetActive());
    EXPECT_EQ(cover->level(), WindowLevel::normal);
    EXPECT_TRUE(isDirectlyAboveTarget());
    EXPECT_TRUE(service->isChecking());
    EXPECT_TRUE(service->hasMouseMonitor());
}

TEST_F(ZOrderServiceTest, StartingWhileWeAreInFrontKeepsTheCoverInFrontUntilTheNextActivation) {
    activate(sim::SimWorld::kOwnPID);
    service->start();
    service->start();
    EXPECT_FALSE(service->isTargetActive());
    EXPECT_EQ(cover->level(), WindowLevel::normal);
    EXPECT_LT(indexOf(cover->windowNumber()), indexOf(inbox))
        << "attaching does not drop the cover behind the window in front of its target";
    EXPECT_LT(indexOf(cover->windowNumber()), indexOf(target));
    EXPECT_FALSE(service->isChecking());

    service->targetActivationChanged(false);
    EXPECT_TRUE(isDirectlyAboveTarget());
    EXPECT_TRUE(service->isChecking());
}

TEST_F(ZOrderServiceTest, StartingWhileAnotherApplicationIsInFrontChecksTheOrder) {
    activate(mail);
    service->start();
    EXPECT_FALSE(service->isTargetActive());
    EXPECT_LT(indexOf(cover->windowNumber()), indexOf(inbox)) << "in front as it was attached";
    EXPECT_TRUE(service->isChecking());
    advance(1);
    EXPECT_EQ(service->consecutiveFailures(), 0) << "in front of its target is where it belongs";
    service->targetActivationChanged(false);
    EXPECT_TRUE(isDirectlyAboveTarget());
    EXPECT_LT(indexOf(inbox), indexOf(cover->windowNumber())) << "then mail's window is in front";
}

TEST_F(ZOrderServiceTest, WithoutTheGrantTheChecksWaitForIt) {
    simWindowList().setScreenRecordingGranted(false);
    activate(mail);
    service->start();
    EXPECT_FALSE(service->isChecking());
    EXPECT_TRUE(ScreenRecordingPermission::shared()->isWaiting());
    simWindowList().setScreenRecordingGranted(true);
    advance(ScreenRecordingPermission::pollInterval);
    EXPECT_TRUE(service->isChecking());
}

TEST_F(ZOrderServiceTest, AGrantArrivingAfterStopStartsNothing) {
    simWindowList().setScreenRecordingGranted(false);
    activate(mail);
    service->start();
    service->stop();
    simWindowList().setScreenRecordingGranted(true);
    advance(ScreenRecordingPermission::pollInterval);
    EXPECT_FALSE(service->isChecking());
}

TEST_F(ZOrderServiceTest, ChecksReorderAndGiveUpAfterThreeFailuresInARow) {
    activate(editor);
    service->start();
    raiseTarget();
    advance(ZOrderService::kCheckInterval);
    EXPECT_TRUE(isDirectlyAboveTarget());
    EXPECT_EQ(service->consecutiveFailures(), 1);
    raiseTarget();
    advance(ZOrderService::kCheckInterval);
    EXPECT_EQ(service->consecutiveFailures(), 2);
    EXPECT_EQ(cover->level(), WindowLevel::normal);
    raiseTarget();
    advance(ZOrderService::kCheckInterval);
    EXPECT_EQ(service->consecutiveFailures(), 3);
    EXPECT_TRUE(service->isEscalated());
    EXPECT_EQ(cover->level(), WindowLevel::floating);
    EXPECT_FALSE(service->isChecking());
}

TEST_F(ZOrderServiceTest, ACheckFindingTheCoverInFrontResetsTheCount) {
    activate(editor);
    service->start();
    raiseTarget();
    advance(ZOrderService::kCheckInterval);
    EXPECT_EQ(service->consecutiveFailures(), 1);
    advance(ZOrderService::kCheckInterval);
    EXPECT_EQ(service->consecutiveFailures(), 0);
}

TEST_F(ZOrderServiceTest, ChecksCountNothingWhenAWindowIsMissingOrUnknown) {
    activate(editor);
    service->start();
    raiseTarget();
    simWindowList().setFailing(true);
    service->checkOrder();
    simWindowList().setFailing(false);
    world().setWindowOnScreen(target, false);
    service->checkOrder();
    EXPECT_EQ(service->consecutiveFailures(), 0);

    world().setWindowOnScreen(target, true);
    simAccessibility().setWindowNumberUnavailable(true);
    service->stop();
    service = make();
    service->start();
    EXPECT_EQ(indexOf(cover->windowNumber()), 1) << "front of the normal level, below the menu bar";
    for (int i = 0; i < 4; ++i) {
        raiseTarget();
        service->checkOrder();
    }
    EXPECT_EQ(service->consecutiveFailures(), 0);
    EXPECT_FALSE(service->isEscalated());
}

TEST_F(ZOrderServiceTest, EscalationHoldsUntilTheTargetIsActivated) {
    activate(editor);
    service->start();
    for (int i = 0; i < 3; ++i) {
        raiseTarget();
        service->checkOrder();
    }
    ASSERT_TRUE(service->isEscalated());

    service->targetActivationChanged(false);
    EXPECT_EQ(cover->level(), WindowLevel::normal);
    EXPECT_TRUE(isDirectlyAboveTarget());
    EXPECT_TRUE(service->isEscalated());
    EXPECT_FALSE(service->isChecking());
    input().click({150, 150});
    runUntilIdle();
    EXPECT_FALSE(isDirectlyAboveTarget()) << "clicks no longer reorder";

    service->targetActivationChanged(true);
    EXPECT_FALSE(service->isEscalated());
    EXPECT_EQ(service->consecutiveFailures(), 0);
    EXPECT_TRUE(isDirectlyAboveTarget());
    EXPECT_TRUE(service->isChecking());
}

TEST_F(ZOrderServiceTest, AClickInTheActiveTargetPutsTheCoverBackOnTopAfterwards) {
    activate(editor);
    service->start();
    input().click({150, 150});
    EXPECT_FALSE(isDirectlyAboveTarget()) << "the click raised the target first";
    runUntilIdle();
    EXPECT_TRUE(isDirectlyAboveTarget());
}

TEST_F(ZOrderServiceTest, StopClearsTheStateButLeavesTheLevel) {
    activate(editor);
    service->start();
    for (int i = 0; i < 3; ++i) {
        raiseTarget();
        service->checkOrder();
    }
    service->stop();
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(service->isEscalated());
    EXPECT_FALSE(service->isTargetActive());
    EXPECT_FALSE(service->hasMouseMonitor());
    EXPECT_EQ(service->consecutiveFailures(), 0);
    EXPECT_EQ(cover->level(), WindowLevel::floating);

    service->start();
    EXPECT_EQ(cover->level(), WindowLevel::normal);
    EXPECT_TRUE(service->isChecking());
}

}  // namespace
}  // namespace talvori

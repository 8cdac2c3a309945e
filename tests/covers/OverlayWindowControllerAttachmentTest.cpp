#include <gtest/gtest.h>

#include "covers/CoverWindowTest.hpp"
#include "covers/PermissionManager.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {
namespace {

// A cover at (150, 400) 200 x 100 over the editor's window at (100, 300) 400 x 300: 50 points in
// from its left edge and 100 points down from its top edge.
class OverlayWindowControllerAttachmentTest : public testing::CoverWindowTest {
  protected:
    OverlayWindowControllerAttachmentTest() { simWindowList().setScreenRecordingGranted(true); }

    std::int32_t editor = world().launchApplication("Editor", "org.example.editor");
    std::uint32_t target = world().openWindow(editor, "Notes", {100, 300, 400, 300});

    RunningApplication application(std::int32_t pid) const {
        return world().process(pid)->runningApplication();
    }
    OverlayWindowController& attachedCover(ZOrderMode mode = ZOrderMode::floating) {
        OverlayModel model = testing::sampleCover();
        model.zOrderMode = mode;
        showCover({150, 400, 200, 100}, model);
        controller->attach(application(editor));
        return *controller;
    }
    const std::optional<AttachmentInfo>& attachment() const {
        return viewModel->model.peek().attachmentInfo;
    }
    void expectDetachedAt(const Rect& where) {
        EXPECT_FALSE(controller->attachmentService());
        EXPECT_FALSE(controller->zOrderService());
        EXPECT_FALSE(attachment());
        EXPECT_FALSE(controller->panel()->isAttached);
        EXPECT_FALSE(controller->relativeAnchor());
        EXPECT_EQ(window().level(), WindowLevel::floating);
        EXPECT_TRUE(window().isVisible());
        EXPECT_EQ(frame(), where);
    }
};

TEST_F(OverlayWindowControllerAttachmentTest, AttachingRecordsTheTargetAndKeepsTheOffset) {
    attachedCover();
    ASSERT_TRUE(controller->attachmentService());
    EXPECT_EQ(attachment(), (AttachmentInfo{editor, "org.example.editor", "Editor"}));
    EXPECT_TRUE(controller->panel()->isAttached);
    EXPECT_EQ(controller->relativeAnchor(), (Point{50, 100}));
    EXPECT_EQ(frame(), Rect(150, 400, 200, 100)) << "the cover does not jump";
    EXPECT_FALSE(controller->zOrderService()) << "floating";
    EXPECT_EQ(window().level(), WindowLevel::floating);
}

TEST_F(OverlayWindowControllerAttachmentTest, TheCoverFollowsTheTargetWithoutRewritingItsRecord) {
    attachedCover();
    world().moveWindow(target, {140, 290});
    runUntilIdle();
    EXPECT_EQ(frame(), Rect(190, 390, 200, 100));
    EXPECT_EQ(recordFrame(), Rect(150, 400, 200, 100));
    EXPECT_TRUE(moves.empty());

    // The user drags the cover 20 points to the right: that is the new offset.
    input().drag(at(100, 50), {310, 440});
    EXPECT_EQ(frame(), Rect(210, 390, 200, 100));
    EXPECT_EQ(recordFrame(), frame());
    EXPECT_EQ(controller->relativeAnchor(), (Point{70, 100}));
    moves.clear();

    world().resizeWindow(target, {400, 350});
    advance(0.1);
    EXPECT_EQ(frame(), Rect(210, 440, 200, 100)) << "hangs from the target's top edge";
    EXPECT_TRUE(moves.empty());
}

TEST_F(OverlayWindowControllerAttachmentTest, AFollowedMouseDragEndsInAStoredFrame) {
    attachedCover();
    world().activateApplication(editor);
    runUntilIdle();
    input().mouseDown({300, 590});
    input().moveMouse({300, 590});
    input().moveMouse({330, 570});
    EXPECT_EQ(frame(), Rect(180, 380, 200, 100));
    EXPECT_TRUE(moves.empty());
    world().moveWindow(target, {130, 280});
    input().mouseUp({330, 570});
    EXPECT_EQ(recordFrame(), Rect(180, 380, 200, 100));
    EXPECT_EQ(moves, std::vector<Rect>{Rect(180, 380, 200, 100)});
}

TEST_F(OverlayWindowControllerAttachmentTest, AttachingToAnotherApplicationReplacesTheServices) {
    attachedCover(ZOrderMode::smart);
    auto firstService = controller->attachmentService();
    auto firstOrder = controller->zOrderService();
    ASSERT_TRUE(firstOrder);
    const auto mail = world().launchApplication("Mail");
    world().openWindow(mail, "Inbox", {700, 100, 500, 500});

    controller->attach(application(mail));
    EXPECT_NE(controller->attachmentService(), firstService);
    EXPECT_FALSE(firstService->targetElement()) << "the old one was stopped";
    EXPECT_FALSE(firstOrder->isRunning());
    EXPECT_TRUE(controller->zOrderService()->isRunning());
    EXPECT_EQ(controller->zOrderService()->targetPID(), mail);
    EXPECT_EQ(attachment(), (AttachmentInfo{mail, std::nullopt, "Mail"}));

    world().moveWindow(target, {0, 0});
    runUntilIdle();
    EXPECT_EQ(frame(), Rect(150, 400, 200, 100)) << "the editor no longer moves it";
}

TEST_F(OverlayWindowControllerAttachmentTest, AnApplicationWithoutWindowsLeavesTheCoverAsItWas) {
    OverlayModel model = testing::sampleCover();
    model.attachmentInfo = AttachmentInfo{99, std::nullopt, "Gone"};
    showCover({150, 400, 200, 100}, model);
    const auto empty = world().launchApplication("Empty");
    controller->attach(application(empty));
    EXPECT_FALSE(controller->attachmentService());
    EXPECT_EQ(attachment(), model.attachmentInfo) << "a reopened record keeps its attachment";
}

TEST_F(OverlayWindowControllerAttachmentTest, WithoutTrustItAsksAndAttachesOnceGranted) {
    simAccessibility().setTrusted(false);
    showCover({150, 400, 200, 100});
    controller->attach(application(editor));
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    EXPECT_FALSE(controller->attachmentService());
    advance(10);
    simAccessibility().setTrusted(true);
    advance(PermissionManager::pollInterval);
    EXPECT_TRUE(controller->attachmentService());
    EXPECT_EQ(attachment()->targetPID, editor);
}

TEST_F(OverlayWindowControllerAttachmentTest, RefusedTrustLeavesTheCoverFree) {
    simAccessibility().setTrusted(false);
    showCover({150, 400, 200, 100});
    controller->attach(application(editor));
    advance(PermissionManager::pollLimit + 1);
    simAccessibility().setTrusted(true);
    advance(1);
    EXPECT_FALSE(controller->attachmentService());
    EXPECT_FALSE(attachment());
}

TEST_F(OverlayWindowControllerAttachmentTest, TrustArrivingAfterCloseChangesNothing) {
    simAccessibility().setTrusted(false);
    showCover({150, 400, 200, 100});
    controller->attach(application(editor));
    controller->close();
    simAccessibility().setTrusted(true);
    advance(1);
    EXPECT_FALSE(controller->attachmentService());
    EXPECT_FALSE(attachment());
}

TEST_F(OverlayWindowControllerAttachmentTest, SmartModeKeepsTheCoverDirectlyAboveItsTarget) {
    world().activateApplication(editor);
    runUntilIdle();
    attachedCover(ZOrderMode::smart);
    ASSERT_TRUE(controller->zOrderService());
    EXPECT_EQ(window().level(), WindowLevel::normal);
    EXPECT_EQ(world().stackIndex(window().windowNumber()) + 1, world().stackIndex(target));

    const auto mail = world().launchApplication("Mail");
    const auto inbox = world().openWindow(mail, "Inbox", {0, 0, 1000, 800});
    world().activateApplication(mail);
    runUntilIdle();
    EXPECT_FALSE(controller->zOrderService()->isTargetActive());
    EXPECT_LT(world().stackIndex(inbox), world().stackIndex(window().windowNumber()))
        << "another application's window comes in front of a smart cover";
    world().activateApplication(editor);
    runUntilIdle();
    EXPECT_TRUE(controller->zOrderService()->isTargetActive());
    EXPECT_EQ(world().stackIndex(window().windowNumber()) + 1, world().stackIndex(target));
}

TEST_F(OverlayWindowControllerAttachmentTest, SwitchingTheModeStartsOrStopsSmartOrder) {
    attachedCover();
    viewModel->setZOrderMode(ZOrderMode::smart);
    controller->applyZOrderMode();
    auto smart = controller->zOrderService();
    ASSERT_TRUE(smart);
    EXPECT_EQ(window().level(), WindowLevel::normal);
    controller->applyZOrderMode();
    EXPECT_NE(controller->zOrderService(), smart) << "exactly one runs";
    EXPECT_FALSE(smart->isRunning());

    viewModel->setZOrderMode(ZOrderMode::floating);
    controller->applyZOrderMode();
    EXPECT_FALSE(controller->zOrderService());
    EXPECT_EQ(window().level(), WindowLevel::floating);

    controller->detach();
    viewModel->setZOrderMode(ZOrderMode::smart);
    controller->applyZOrderMode();
    EXPECT_FALSE(controller->zOrderService()) << "a free cover has no z-order to keep";
}

TEST_F(OverlayWindowControllerAttachmentTest, AFloatingAttachedCoverComesForwardOnEveryActivation) {
    attachedCover();
    const auto mail = world().launchApplication("Mail");
    world().openWindow(mail, "Inbox", {0, 0, 1000, 800});
    auto other = makePanel({0, 0, 50, 50});
    other->setLevel(WindowLevel::floating);
    other->setHidesOnDeactivate(false);
    other->orderFront();
    world().activateApplication(mail);
    runUntilIdle();
    EXPECT_LT(world().stackIndex(window().windowNumber()),
              world().stackIndex(other->windowNumber()));
}

TEST_F(OverlayWindowControllerAttachmentTest, AClosedTargetDetachesAndTheCoverStays) {
    attachedCover(ZOrderMode::smart);
    world().moveWindow(target, {110, 300});
    runUntilIdle();
    world().closeWindow(target);
    runUntilIdle();
    expectDetachedAt({160, 400, 200, 100});
    advance(1);
    EXPECT_FALSE(attachment());
}

TEST_F(OverlayWindowControllerAttachmentTest, AnUnreadableTargetDetachesFromTheHeartbeat) {
    simAccessibility().setRefusesObservers(true);
    attachedCover(ZOrderMode::smart);
    simAccessibility().injectError({AXElement::Kind::window, editor, target}, AXAttribute::size,
                                   AXError::cannotComplete);
    advance(WindowAttachmentService::kHeartbeatInterval);
    expectDetachedAt({150, 400, 200, 100});
}

TEST_F(OverlayWindowControllerAttachmentTest, DetachAndCloseClearTheRecordsAttachment) {
    attachedCover(ZOrderMode::smart);
    auto service = controller->attachmentService();
    controller->detach();
    expectDetachedAt({150, 400, 200, 100});
    EXPECT_FALSE(service->hasHeartbeat());

    controller->attach(application(editor));
    ASSERT_TRUE(attachment());
    controller->close();
    EXPECT_FALSE(attachment());
    EXPECT_FALSE(controller->attachmentService());
}

}  // namespace
}  // namespace talvori

#include <gtest/gtest.h>

#include "covers/CoverWindowTest.hpp"
#include "covers/WindowAttachmentService.hpp"

namespace talvori {
namespace {

// What the service told its delegate.
class RecordingDelegate : public WindowAttachmentDelegate {
  public:
    std::vector<Rect> frames;
    int detaches = 0;
    int panelMoves = 0;
    std::vector<bool> activations;
    // Runs inside detach(), as the window controller's detach does when it drops the service.
    std::function<void()> whileDetaching;

    void targetFrameDidChange(const Rect& frame) override { frames.push_back(frame); }
    void detach() override {
        ++detaches;
        if (whileDetaching) whileDetaching();
    }
    void panelDidMove() override { ++panelMoves; }
    void targetAppDidActivate(bool isTarget) override { activations.push_back(isTarget); }
};

// A 1920 x 1080 screen and an editor whose window is at (100, 730) 400 x 300, which is
// Accessibility position (100, 50).
class WindowAttachmentServiceTest : public testing::CoverWindowTest {
  protected:
    WindowAttachmentServiceTest()
        : CoverWindowTest(sim::SimDesktop::Configuration{.screens = {Rect(0, 0, 1920, 1080)}}) {
        service->delegate = delegate;
    }

    std::int32_t editor = world().launchApplication("Editor", "org.example.editor");
    std::uint32_t target = world().openWindow(editor, "Notes", {100, 730, 400, 300});
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<WindowAttachmentService> service = WindowAttachmentService::create();

    RunningApplication editorApplication() const {
        return world().process(editor)->runningApplication();
    }
    AXElement application() const { return {AXElement::Kind::application, editor, 0}; }
    AXElement targetElement() const { return {AXElement::Kind::window, editor, target}; }
    bool isWatching() const {
        return service->isObserving() || service->hasHeartbeat() || service->hasEventTap() ||
               service->hasWorkspaceObserver();
    }
    void attach() {
        service->attach(editorApplication());
        ASSERT_TRUE(service->targetElement());
        delegate->frames.clear();
    }
    void tick() { advance(WindowAttachmentService::kHeartbeatInterval); }
};

TEST_F(WindowAttachmentServiceTest, AttachingReportsTheFocusedWindowsFrameInScreenSpace) {
    service->attach(editorApplication());
    EXPECT_EQ(service->targetElement(), targetElement());
    EXPECT_EQ(service->targetPID(), editor);
    EXPECT_EQ(service->targetBundleID(), "org.example.editor");
    EXPECT_EQ(delegate->frames, std::vector<Rect>{Rect(100, 730, 400, 300)});
    EXPECT_EQ(service->lastKnownFrame(), Rect(100, 730, 400, 300));
    EXPECT_TRUE(service->isObserving());
    EXPECT_TRUE(service->hasHeartbeat());
    EXPECT_TRUE(service->hasEventTap());
    EXPECT_TRUE(service->hasWorkspaceObserver());
}

// "No value" (no focused window, all windows minimised) is a failed read like any other.
TEST_F(WindowAttachmentServiceTest, AnUnreadableFocusedWindowFallsBackToTheFirstWindow) {
    const auto second = world().openWindow(editor, "Draft", {600, 100, 300, 200});
    for (const AXError error : {AXError::cannotComplete, AXError::noValue}) {
        simAccessibility().injectError(application(), AXAttribute::focusedWindow, error);
        delegate->frames.clear();
        service->attach(editorApplication());
        EXPECT_EQ(service->targetElement(), (AXElement{AXElement::Kind::window, editor, second}));
        EXPECT_EQ(delegate->frames, std::vector<Rect>{Rect(600, 100, 300, 200)});
    }
}

TEST_F(WindowAttachmentServiceTest, AttachingFailsWithoutAWindowOrAFrame) {
    auto expectFailed = [&](const char* why) {
        service->attach(editorApplication());
        EXPECT_FALSE(service->targetElement()) << why;
        EXPECT_EQ(service->targetPID(), 0) << why;
        EXPECT_FALSE(service->targetBundleID()) << why;
        EXPECT_FALSE(isWatching()) << why;
        EXPECT_TRUE(delegate->frames.empty()) << why;
    };
    simAccessibility().injectError(application(), AXAttribute::focusedWindow, AXError::failure);
    simAccessibility().injectError(application(), AXAttribute::windows, AXError::failure);
    expectFailed("neither read works");

    simAccessibility().clearError(application(), AXAttribute::windows);
    world().setWindowOnScreen(target, false);
    expectFailed("no windows on screen");

    world().setWindowOnScreen(target, true);
    simAccessibility().clearError(application(), AXAttribute::focusedWindow);
    simAccessibility().injectError(targetElement(), AXAttribute::size, AXError::cannotComplete);
    expectFailed("the window's frame cannot be read");
}

TEST_F(WindowAttachmentServiceTest,
       AccessibilityNotificationsAlwaysReportAndTheHeartbeatOnlyChanges) {
    attach();
    tick();
    EXPECT_TRUE(delegate->frames.empty()) << "nothing changed";

    world().emitAccessibility(editor, AXNotification::moved, target);
    runUntilIdle();
    EXPECT_EQ(delegate->frames, std::vector<Rect>{Rect(100, 730, 400, 300)})
        << "a notification reports even an equal frame";

    world().timing().accessibilityNotificationDelay = 1;
    world().moveWindow(target, {140, 720});
    tick();
    EXPECT_EQ(delegate->frames.back(), Rect(140, 720, 400, 300)) << "the heartbeat saw it first";
    tick();
    EXPECT_EQ(delegate->frames.size(), 2u);
    world().resizeWindow(target, {500, 250});
    advance(1);
    EXPECT_EQ(delegate->frames.back(), Rect(140, 720, 500, 250));
    EXPECT_EQ(delegate->detaches, 0);
}

TEST_F(WindowAttachmentServiceTest, AMouseDragOfTheFrontmostTargetIsPredicted) {
    attach();
    world().activateApplication(editor);
    runUntilIdle();
    input().mouseDown({500, 500});
    input().moveMouse({500, 500});
    EXPECT_TRUE(delegate->frames.empty()) << "the first drag event only records where it began";
    input().moveMouse({530, 480});
    EXPECT_EQ(delegate->frames, std::vector<Rect>{Rect(130, 710, 400, 300)});
    EXPECT_TRUE(service->isFollowingDrag());
    input().mouseUp({530, 480});
    EXPECT_EQ(delegate->panelMoves, 1);
    EXPECT_FALSE(service->isFollowingDrag());

    input().click({300, 300});
    EXPECT_EQ(delegate->panelMoves, 1) << "a release without a followed drag sends nothing";
}

TEST_F(WindowAttachmentServiceTest, TheHeartbeatCorrectsADragThatMovedNothing) {
    attach();
    world().activateApplication(editor);
    runUntilIdle();
    input().mouseDown({500, 900});
    input().moveMouse({500, 900});
    input().moveMouse({560, 900});
    EXPECT_EQ(delegate->frames.back(), Rect(160, 730, 400, 300));
    tick();
    EXPECT_EQ(delegate->frames.back(), Rect(100, 730, 400, 300));
    EXPECT_FALSE(service->isFollowingDrag());
    input().moveMouse({600, 900});
    EXPECT_EQ(delegate->frames.size(), 2u) << "a new drag base first";
    input().mouseUp({600, 900});
}

TEST_F(WindowAttachmentServiceTest, DragsWhileAnotherApplicationIsInFrontAreIgnored) {
    const auto other = world().launchApplication("Mail");
    world().openWindow(other, "Inbox", {1000, 100, 400, 300});
    world().activateApplication(other);
    attach();
    runUntilIdle();
    input().drag({1100, 200}, {1200, 300});
    EXPECT_TRUE(delegate->frames.empty());
    EXPECT_EQ(delegate->panelMoves, 0);
}

TEST_F(WindowAttachmentServiceTest, ATapSwitchedOffBySystemIsSwitchedOnAgain) {
    attach();
    world().activateApplication(editor);
    runUntilIdle();
    input().disableEventTaps(EventType::tapDisabledByTimeout);
    input().mouseDown({500, 900});
    input().moveMouse({500, 900});
    input().moveMouse({510, 900});
    EXPECT_EQ(delegate->frames.size(), 1u);
    input().mouseUp({510, 900});
}

TEST_F(WindowAttachmentServiceTest, ActivationsAreReportedWithWhetherTheTargetCameForward) {
    const auto other = world().launchApplication("Mail");
    attach();
    world().activateApplication(other);
    runUntilIdle();
    world().activateApplication(editor);
    runUntilIdle();
    EXPECT_EQ(delegate->activations, (std::vector<bool>{false, true}));
}

TEST_F(WindowAttachmentServiceTest, WithoutObserverOrTapTheHeartbeatStillFollows) {
    simAccessibility().setRefusesObservers(true);
    input().setRefusesEventTaps(true);
    attach();
    EXPECT_FALSE(service->isObserving());
    EXPECT_FALSE(service->hasEventTap());
    world().moveWindow(target, {0, 0});
    tick();
    EXPECT_EQ(delegate->frames, std::vector<Rect>{Rect(0, 0, 400, 300)});
}

TEST_F(WindowAttachmentServiceTest, AClosedWindowDetachesOnceAndTheServiceMayBeDroppedMeanwhile) {
    attach();
    std::weak_ptr<WindowAttachmentService> weak = service;
    delegate->whileDetaching = [this] { service.reset(); };
    world().closeWindow(target);
    runUntilIdle();
    EXPECT_EQ(delegate->detaches, 1);
    EXPECT_TRUE(weak.expired()) << "gone once the callback returned";
    advance(1);
    EXPECT_EQ(delegate->detaches, 1);
}

TEST_F(WindowAttachmentServiceTest, AClosedWindowLeavesTheServiceStopped) {
    attach();
    world().closeWindow(target);
    runUntilIdle();
    EXPECT_EQ(delegate->detaches, 1);
    EXPECT_FALSE(isWatching());
    EXPECT_EQ(service->targetPID(), 0);
    EXPECT_FALSE(service->targetElement());
    EXPECT_EQ(service->lastKnownFrame(), Rect(100, 730, 400, 300)) << "kept";
}

TEST_F(WindowAttachmentServiceTest, AnUnreadableFrameDetachesFromTheHeartbeat) {
    simAccessibility().setRefusesObservers(true);
    attach();
    std::weak_ptr<WindowAttachmentService> weak = service;
    delegate->whileDetaching = [this] { service.reset(); };
    simAccessibility().injectError(targetElement(), AXAttribute::position, AXError::cannotComplete);
    tick();
    EXPECT_EQ(delegate->detaches, 1);
    EXPECT_TRUE(weak.expired());
    advance(1);
    EXPECT_EQ(delegate->detaches, 1);
}

TEST_F(WindowAttachmentServiceTest, AMomentWithoutScreensDoesNotDetach) {
    attach();
    world().setScreens({});
    advance(1);
    world().emitAccessibility(editor, AXNotification::moved, target);
    advance(1);
    EXPECT_EQ(delegate->detaches, 0);
    EXPECT_TRUE(delegate->frames.empty());
    EXPECT_TRUE(service->hasHeartbeat());

    world().setScreens({Rect(0, 0, 1920, 1200)});
    world().moveWindow(target, {100, 700});
    tick();
    EXPECT_EQ(delegate->frames, std::vector<Rect>{Rect(100, 700, 400, 300)});
}

TEST_F(WindowAttachmentServiceTest, StopEndsAllWatchingAndIsSafeTwice) {
    attach();
    service->stop();
    service->stop();
    EXPECT_FALSE(isWatching());
    world().moveWindow(target, {0, 0});
    advance(1);
    EXPECT_TRUE(delegate->frames.empty());
    EXPECT_EQ(simAccessibility().observerCount(), 1);
}

}  // namespace
}  // namespace talvori

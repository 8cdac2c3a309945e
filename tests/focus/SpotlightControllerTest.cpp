#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "focus/FocusDesktopTest.hpp"
#include "focus/SpotlightController.hpp"

namespace talvori {
namespace {

using sim::SimWorld;

class SpotlightControllerTest : public testing::FocusDesktopTest {
  protected:
    // Whether a decision came from a source whose name holds `words`.
    bool decidedBy(const std::string& words) const {
        return std::any_of(decisions.begin(), decisions.end(), [&](const FocusDecision& made) {
            return made.source.find(words) != std::string::npos;
        });
    }
};

// ---- Turning on

TEST_F(SpotlightControllerTest, TurningOnDimsEverythingBehindTheFrontmostApplicationsWindow) {
    auto cover = makePanel(Rect(900, 500, 200, 200));
    cover->orderFront();
    activateApplication(editor);
    makeController();
    controller->activate();

    ASSERT_TRUE(panel());
    EXPECT_TRUE(controller->isActive());
    EXPECT_EQ(activeChanges, std::vector<bool>{true});
    EXPECT_EQ(controller->shadeAnchorWindowID(), e1);
    EXPECT_EQ(controller->focusedAppName(), "Editor");
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
    EXPECT_EQ(clearWindows(), std::vector<std::uint32_t>{e1});
    EXPECT_GT(indexOf(cover->windowNumber()), indexOf(panel()->windowNumber()));
    EXPECT_EQ(panel()->contentLayer().backgroundColor,
              SpotlightPanelManager::dimColor().withAlpha(0.5));
    EXPECT_EQ(decisions, (std::vector{committed("Active", e1),
                                      committed("AX observer attached to Editor", e1)}));

    runUntilIdle();
    advance(0.249);
    EXPECT_LT(panel()->alphaValue(), 1.0);
    advance(0.001);
    EXPECT_EQ(panel()->alphaValue(), 1.0);
}

TEST_F(SpotlightControllerTest, WithThisApplicationInFrontTheWholeScreenIsDimmedAndRetriedOnce) {
    activateApplication(SimWorld::kOwnPID);
    makeController();
    controller->activate();
    EXPECT_EQ(controller->shadeAnchorWindowID(), 0u);
    EXPECT_TRUE(clearWindows().empty());
    EXPECT_EQ(decisions,
              (std::vector<FocusDecision>{{ShadeAnchorDecision::Kind::none, "Active", 0}}));
    EXPECT_FALSE(controller->hasFocusObserver());

    // Focus moves to Editor without any notice reaching us; only the retry can see it.
    world().overrideAccessibilityFocusedPID(editor);
    advance(0.499);
    EXPECT_EQ(controller->shadeAnchorWindowID(), 0u);
    advance(0.001);
    EXPECT_TRUE(logged(committed("Activation retry", e1)));
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
    advance(5);
    EXPECT_EQ(count(committed("Activation retry", e1)), 1);
}

TEST_F(SpotlightControllerTest, ARefreshBeforeTheRetryTakesItsSlot) {
    activateApplication(SimWorld::kOwnPID);
    makeController();
    controller->activate();
    advance(0.1);
    clearRecords();
    activateApplication(editor);
    EXPECT_EQ(decisions, std::vector{committed("App activated", e1)});
    advance(1);
    EXPECT_FALSE(decidedBy("Activation retry"));
}

TEST_F(SpotlightControllerTest, TurningOnTwiceInstallsNothingTwice) {
    turnOnWith(editor);
    controller->activate();
    EXPECT_EQ(simAccessibility().observerCount(), 1);
    EXPECT_EQ(activeChanges, std::vector<bool>{true});
    controller->deactivate();
    advance(1);  // the panel's fade-out
    const auto wakeUps = loop().wakeUpCount();
    clearRecords();
    advance(60);
    EXPECT_TRUE(decisions.empty());
    EXPECT_EQ(loop().wakeUpCount() - wakeUps, 0u);
}

TEST_F(SpotlightControllerTest, WithoutAScreenFocusTurnsOnWithoutAPanel) {
    world().setScreens({});
    activateApplication(editor);
    makeController();
    controller->activate();
    EXPECT_TRUE(controller->isActive());
    EXPECT_FALSE(panel());
    EXPECT_TRUE(controller->hasFocusObserver());
    EXPECT_TRUE(controller->hasSafetyTimer());
    const int reads = simWindowList().readCount();
    advance(2.5);
    EXPECT_GT(simWindowList().readCount(), reads) << "the safety net looked";
    EXPECT_TRUE(decisions.empty()) << "and, with no screen to dim, decided nothing";

    world().setScreens({Rect(0, 0, 1440, 900)});
    controller->deactivate();
    controller->activate();
    ASSERT_TRUE(panel());
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
}

// ---- Following focus

TEST_F(SpotlightControllerTest, SwitchingApplicationsReattachesAndDecidesOnce) {
    turnOnWith(editor);
    activateApplication(browser);
    EXPECT_EQ(controller->focusObserverPID(), browser);
    EXPECT_EQ(decisions, std::vector{committed("App activated", b1)});
    EXPECT_EQ(controller->focusedAppName(), "Browser");
    EXPECT_EQ(simAccessibility().observerCount(), 2);

    // Dim: Editor's window fades dark first, then the panel moves behind Browser's.
    ASSERT_EQ(panels->fadePanels().size(), 1u);
    EXPECT_EQ(panels->fadePanels()[0]->frame(), world().frameOf(*world().window(e1)));
    EXPECT_EQ(panels->fadeTarget(), b1);
    advance(controller->fadeDuration());
    runUntilIdle();
    EXPECT_TRUE(panelIsDirectlyBelow(b1));
    EXPECT_TRUE(panels->fadePanels().empty());
}

TEST_F(SpotlightControllerTest, ActivatingTheObservedApplicationRefreshesOnceAndKeepsTheObserver) {
    turnOnWith(editor);
    activateApplication(SimWorld::kOwnPID);
    EXPECT_EQ(controller->focusObserverPID(), editor) << "never attached to ourselves";
    EXPECT_TRUE(logged(held("App activated", e1)));
    clearRecords();
    activateApplication(editor);
    EXPECT_EQ(controller->focusObserverPID(), editor);
    EXPECT_EQ(simAccessibility().observerCount(), 1);
    EXPECT_EQ(count(committed("App activated", e1)), 1);
    EXPECT_FALSE(decidedBy("AX observer"));
}

TEST_F(SpotlightControllerTest, AnApplicationRefusingObservationGetsNoObserverAndNoRefreshOfIt) {
    turnOnWith(editor);
    world().process(browser)->refusesObservers = true;
    activateApplication(browser);
    EXPECT_FALSE(controller->hasFocusObserver());
    EXPECT_EQ(controller->focusObserverPID(), 0);
    EXPECT_FALSE(decidedBy("AX observer"));
    EXPECT_TRUE(logged(committed("App activated", b1)));
}

TEST_F(SpotlightControllerTest, ClickingAnotherWindowInDimCrossFadesOverTheWindowFallingBehind) {
    turnOnWith(editor);
    world().focusWindow(e2);
    runUntilIdle();
    EXPECT_TRUE(logged(committed("AX AXFocusedWindowChanged", e2)));
    EXPECT_EQ(controller->shadeAnchorWindowID(), e2);
    const auto smalls = panels->fadePanels();
    ASSERT_EQ(smalls.size(), 1u);
    EXPECT_EQ(indexOf(smalls[0]->windowNumber()) + 1, indexOf(e1));
    EXPECT_TRUE(panelIsDirectlyBelow(e1)) << "the big panel waits for the fade";
    advance(controller->fadeDuration() - 0.001);
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
    advance(0.001);
    runUntilIdle();
    EXPECT_TRUE(panelIsDirectlyBelow(e2));
    EXPECT_FALSE(smalls[0]->isVisible());
}

TEST_F(SpotlightControllerTest, AFadeOverMoreThanEightWindowsIsCappedAtEight) {
    turnOnWith(editor);
    std::vector<std::uint32_t> others;
    for (int i = 0; i < 11; ++i) {
        others.push_back(world().openWindow(browser, "W", Rect(50.0 * i, 50, 200, 200)));
    }
    world().focusWindow(e2);
    runUntilIdle();
    const auto smalls = panels->fadePanels();
    ASSERT_EQ(smalls.size(), 8u);
    // The seven front-most (the last opened) and the old anchor.
    EXPECT_EQ(smalls[0]->frame(), world().frameOf(*world().window(others.back())));
    EXPECT_EQ(smalls[7]->frame(), world().frameOf(*world().window(e1)));
}

TEST_F(SpotlightControllerTest, InGlassOrUnderReduceMotionThePanelMovesAtOnce) {
    turnOnWith(editor);
    controller->setEffect(SpotlightEffect::glass);
    world().focusWindow(e2);
    runUntilIdle();
    EXPECT_TRUE(panelIsDirectlyBelow(e2));
    EXPECT_EQ(panels->fadeGeneration(), 0u);

    controller->setEffect(SpotlightEffect::dim);
    simWorkspace().setReduceMotion(true);
    world().focusWindow(e1);
    runUntilIdle();
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
    EXPECT_EQ(panels->fadeGeneration(), 0u);
}

TEST_F(SpotlightControllerTest, AWindowElementInTheNotificationTakesTheRefreshPath) {
    turnOnWith(editor);
    world().timing().windowListReorderDelay = 0.05;
    // The Accessibility focused window is E2 while the list still shows E1 in front.
    world().focusWindow(e2);
    runUntilIdle();
    EXPECT_TRUE(logged(held("AX AXFocusedWindowChanged", e1)));
    EXPECT_TRUE(controller->hasSlowReconcileTask());

    advance(1);
    clearRecords();
    world().setFocusNotificationElement(SimWorld::FocusNotificationElement::window);
    world().focusWindow(e1);
    runUntilIdle();
    // Read as a refresh: the first window of the frontmost application, still E2 in the list.
    EXPECT_TRUE(logged(committed("AX AXFocusedWindowChanged", e2)));
    EXPECT_FALSE(controller->hasSlowReconcileTask());
}

TEST_F(SpotlightControllerTest, AHeldAnchorIsLookedAtAgainAfter16And120Milliseconds) {
    turnOnWith(editor);
    world().timing().windowListReorderDelay = 0.05;
    const double start = now();
    world().focusWindow(b1);
    runUntilIdle();
    EXPECT_EQ(decisions, std::vector{held("App activated", e1)});
    EXPECT_TRUE(panelIsDirectlyBelow(e1));

    clock().advanceTo(start + 0.016);
    EXPECT_TRUE(logged(held("Reconcile (App activated)", e1)));
    EXPECT_EQ(count(held("Reconcile (App activated)", e1)), 1);
    clock().advanceTo(start + 0.119);
    EXPECT_EQ(controller->shadeAnchorWindowID(), e1);
    EXPECT_FALSE(logged(committed("Reconcile +120ms (App activated)", b1)));
    clock().advanceTo(start + 0.12);
    EXPECT_TRUE(logged(committed("Reconcile +120ms (App activated)", b1)));
    EXPECT_EQ(controller->shadeAnchorWindowID(), b1);
    EXPECT_EQ(panels->fadeTarget(), b1);
    advance(1);
    EXPECT_TRUE(panelIsDirectlyBelow(b1));
    EXPECT_EQ(count(held("Reconcile (App activated)", e1)), 1);
}

TEST_F(SpotlightControllerTest, ACommitCancelsThePendingSlowLook) {
    turnOnWith(editor);
    world().timing().windowListReorderDelay = 0.05;
    const double start = now();
    world().focusWindow(b1);
    runUntilIdle();
    ASSERT_TRUE(controller->hasSlowReconcileTask());
    clock().advanceTo(start + 0.06);
    world().timing().windowListReorderDelay = 0;
    const auto b2 = world().openWindow(browser, "B2", Rect(700, 300, 300, 300));
    runUntilIdle();
    EXPECT_TRUE(logged(committed("AX AXFocusedWindowChanged", b2)));
    EXPECT_FALSE(controller->hasSlowReconcileTask());
    advance(1);
    EXPECT_FALSE(decidedBy("+120ms"));
}

TEST_F(SpotlightControllerTest, AFinishedSlowLookStaysInItsSlotUntilTheNextEvent) {
    turnOnWith(editor);
    world().timing().windowListReorderDelay = 1;
    world().focusWindow(b1);
    advance(0.2);
    EXPECT_TRUE(logged(held("Reconcile +120ms (App activated)", e1)));
    EXPECT_TRUE(controller->hasSlowReconcileTask());
    EXPECT_EQ(count(held("Reconcile (App activated)", e1)), 1);
    advance(1);
    world().openWindow(browser, "B2", Rect(700, 300, 300, 300));
    runUntilIdle();
    EXPECT_FALSE(controller->hasSlowReconcileTask()) << "the notice committed and cleared it";
}

TEST_F(SpotlightControllerTest, ClosingTheAnchorMovesThePanelAtOnce) {
    turnOnWith(editor);
    world().closeWindow(e1);
    runUntilIdle();
    EXPECT_TRUE(logged(committed("AX AXFocusedWindowChanged", e2)));
    EXPECT_TRUE(panelIsDirectlyBelow(e2));
    EXPECT_EQ(panels->fadeGeneration(), 0u) << "the old anchor is gone: nothing to fade";
}

// Another program's window in front stays clear, as anything in front of the anchor does; the
// window in use is not left dimmed behind it.
TEST_F(SpotlightControllerTest, WhenTheAnchorClosesBehindAnotherWindowThePanelSnapsToTheNextInUse) {
    turnOnWith(editor);
    world().openWindow(browser, "B2", Rect(700, 300, 300, 300));
    world().closeWindow(e1);
    runUntilIdle();
    EXPECT_TRUE(logged(snapped("AX AXFocusedWindowChanged", e2)));
    EXPECT_EQ(controller->shadeAnchorWindowID(), e2);
    EXPECT_EQ(controller->focusedAppName(), "Editor");
    EXPECT_TRUE(panelIsDirectlyBelow(e2));
    EXPECT_EQ(panels->fadeGeneration(), 0u);
}

TEST_F(SpotlightControllerTest, TheSafetyNetCatchesALostNotificationEveryTwoAndAHalfSeconds) {
    const double start = now();
    turnOnWith(editor);
    world().timing().accessibilityNotificationDelay = 100;
    world().focusWindow(e2);
    clock().advanceTo(start + 2.499);
    EXPECT_EQ(controller->shadeAnchorWindowID(), e1);
    clock().advanceTo(start + 2.5);
    EXPECT_TRUE(logged(committed("Safety net", e2)));
    EXPECT_TRUE(panelIsDirectlyBelow(e2));
    EXPECT_EQ(panels->fadeGeneration(), 0u);

    // A window list that cannot be read leaves everything as it is.
    clearRecords();
    simWindowList().setFailing(true);
    const int reads = simWindowList().readCount();
    clock().advanceTo(start + 5);
    EXPECT_GT(simWindowList().readCount(), reads);
    EXPECT_TRUE(decisions.empty());
    EXPECT_EQ(controller->shadeAnchorWindowID(), e2);
}

TEST_F(SpotlightControllerTest, IdleFocusWakesOnlyForTheSafetyNet) {
    turnOnWith(editor);
    advance(1);
    const auto wakeUps = loop().wakeUpCount();
    advance(60);
    EXPECT_EQ(loop().wakeUpCount() - wakeUps, 24u);
}

class MousePredictionTest : public SpotlightControllerTest {
  protected:
    // Inside E2, outside E1.
    const Point inE2{650, 300};
};

TEST_F(MousePredictionTest, InDimAClickLeavesTheChangeToTheAccessibilityNotice) {
    turnOnWith(editor);
    world().timing().accessibilityNotificationDelay = 1;
    input().click(inE2);
    runUntilIdle();
    EXPECT_EQ(controller->shadeAnchorWindowID(), e1);
    EXPECT_FALSE(decidedBy("Mouse prediction"));
}

TEST_F(MousePredictionTest, InGlassAClickMovesThePanelWithoutAFade) {
    controller = nullptr;
    makeController();
    controller->setEffect(SpotlightEffect::glass);
    turnOnWith(editor);
    world().timing().accessibilityNotificationDelay = 1;
    input().click(inE2);
    EXPECT_TRUE(logged(committed("Mouse prediction", e2)));
    EXPECT_TRUE(panelIsDirectlyBelow(e2));
    EXPECT_EQ(panels->fadeGeneration(), 0u);
}

TEST_F(MousePredictionTest, BeforeTheWindowRisesThePredictionHolds) {
    turnOnWith(editor);
    simWorkspace().setReduceMotion(true);
    input().setClickOrder(sim::ClickOrder::monitorsFirst);
    world().timing().windowListReorderDelay = 1;
    world().timing().accessibilityNotificationDelay = 10;
    input().click(inE2);
    EXPECT_EQ(decisions, std::vector{held("Mouse prediction", e1)});
    advance(0.5);
    EXPECT_EQ(decisions.size(), 1u) << "the prediction schedules no follow-up";
}

TEST_F(MousePredictionTest, ClicksOnTheAnchorOrOnNoWindowChangeNothing) {
    turnOnWith(editor);
    simWorkspace().setReduceMotion(true);
    world().timing().accessibilityNotificationDelay = 10;
    input().click({150, 150});   // E1, the anchor
    input().click({1300, 850});  // the desktop
    EXPECT_TRUE(decisions.empty());
}

// ---- Turning off

TEST_F(SpotlightControllerTest, TurningOffRemovesEverythingAndFadesThePanelOut) {
    turnOnWith(editor);
    world().timing().windowListReorderDelay = 0.05;
    world().focusWindow(b1);
    runUntilIdle();
    ASSERT_TRUE(controller->hasSlowReconcileTask());
    const auto shown = panel();
    controller->deactivate();

    EXPECT_FALSE(controller->isActive());
    EXPECT_FALSE(controller->hasFocusObserver());
    EXPECT_FALSE(controller->hasWorkspaceObserver());
    EXPECT_FALSE(controller->hasMouseMonitor());
    EXPECT_FALSE(controller->hasSafetyTimer());
    EXPECT_FALSE(controller->hasReconcileTask());
    EXPECT_FALSE(controller->hasSlowReconcileTask());
    EXPECT_EQ(controller->shadeAnchorWindowID(), 0u);
    EXPECT_EQ(controller->focusedAppName(), std::nullopt);
    EXPECT_EQ(activeChanges, (std::vector<bool>{true, false}));
    EXPECT_FALSE(panel());

    advance(0.1);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_LT(shown->alphaValue(), 1.0);
    advance(0.1);
    runUntilIdle();
    EXPECT_FALSE(shown->isVisible());

    clearRecords();
    activateApplication(editor);
    world().focusWindow(e2);
    input().click({650, 300});
    advance(10);
    EXPECT_TRUE(decisions.empty());
}

TEST_F(SpotlightControllerTest, UnderReduceMotionThePanelGoesAtOnceAndTurningOffTwiceIsHarmless) {
    turnOnWith(editor);
    const auto shown = panel();
    simWorkspace().setReduceMotion(true);
    controller->deactivate();
    EXPECT_FALSE(shown->isVisible());
    controller->deactivate();
    EXPECT_EQ(activeChanges, (std::vector<bool>{true, false, false}));
}

// ---- Waiting for Accessibility trust

class AccessibilityWaitTest : public SpotlightControllerTest {
  protected:
    AccessibilityWaitTest() {
        simAccessibility().setTrusted(false);
        activateApplication(editor);
        makeController();
    }
};

TEST_F(AccessibilityWaitTest, PromptsAndTurnsOnOnceTrustArrives) {
    controller->requestAccessibilityAndActivate();
    EXPECT_TRUE(controller->isWaitingForAccessibility());
    runUntilIdle();
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    controller->requestAccessibilityAndActivate();
    runUntilIdle();
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1) << "a second toggle starts no second wait";
    advance(3);
    EXPECT_FALSE(controller->isActive());

    simAccessibility().setTrusted(true);
    advance(0.5);
    EXPECT_TRUE(controller->isActive());
    EXPECT_EQ(activeChanges, std::vector<bool>{true});
    EXPECT_FALSE(controller->isWaitingForAccessibility());
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
}

TEST_F(AccessibilityWaitTest, TurningOffCancelsTheWait) {
    controller->requestAccessibilityAndActivate();
    runUntilIdle();
    controller->deactivate();
    EXPECT_FALSE(controller->isWaitingForAccessibility());
    simAccessibility().setTrusted(true);
    advance(2);
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(activeChanges, std::vector<bool>{false}) << "never turned on, only off";
}

TEST_F(AccessibilityWaitTest, AGrantAfterADirectTurnOnDoesNotTurnOnTwice) {
    controller->requestAccessibilityAndActivate();
    runUntilIdle();
    simAccessibility().setTrusted(true);
    controller->activate();
    advance(1);
    EXPECT_EQ(activeChanges, std::vector<bool>{true});
    EXPECT_FALSE(controller->isWaitingForAccessibility());
}

TEST_F(AccessibilityWaitTest, AWaitWindingDownLeavesTheNewerWaitInItsSlot) {
    controller->requestAccessibilityAndActivate();
    runUntilIdle();
    controller->deactivate();
    controller->requestAccessibilityAndActivate();
    runUntilIdle();
    EXPECT_TRUE(controller->isWaitingForAccessibility());
    const int prompts = simAccessibility().trustPromptCount();
    controller->requestAccessibilityAndActivate();
    runUntilIdle();
    EXPECT_EQ(simAccessibility().trustPromptCount(), prompts);

    simAccessibility().setTrusted(true);
    advance(0.5);
    EXPECT_TRUE(controller->isActive());
    controller->deactivate();
    EXPECT_FALSE(controller->isWaitingForAccessibility());
}

}  // namespace
}  // namespace talvori

namespace talvori {
namespace {

// A second, taller screen above the first one.
class TwoScreenFocusTest : public testing::FocusDesktopTest {
  protected:
    TwoScreenFocusTest()
        : FocusDesktopTest({.screens = {Rect(0, 0, 1440, 900), Rect(0, 900, 1920, 1200)},
                            .systemWindows = true}) {}
};

// Whichever screen the user works on, the others are dimmed too, as they stand now: a screen
// plugged in, grown or removed while Focus is on changes what the panel covers.
TEST_F(TwoScreenFocusTest, DimsEveryScreenAsTheScreensChangeAndFadesOverWindowsOnEither) {
    const auto e3 = world().openWindow(editor, "E3", Rect(100, 1000, 500, 400));
    activateApplication(editor);
    world().focusWindow(e3);
    runUntilIdle();
    makeController();
    controller->activate();
    advance(1);
    ASSERT_EQ(panel()->frame(), Rect(0, 0, 1920, 2100));
    ASSERT_EQ(controller->shadeAnchorWindowID(), e3);

    const auto lower = world().openWindow(browser, "X", Rect(100, 100, 300, 300));
    const auto upper = world().openWindow(browser, "Y", Rect(300, 1100, 300, 300));
    world().focusWindow(e1);
    runUntilIdle();
    EXPECT_TRUE(logged(committed("AX AXFocusedWindowChanged", e1)));
    std::vector<Rect> faded;
    for (const auto& small : panels->fadePanels()) faded.push_back(small->frame());
    EXPECT_EQ(faded, (std::vector<Rect>{world().frameOf(*world().window(upper)),
                                        world().frameOf(*world().window(lower)),
                                        world().frameOf(*world().window(e3))}));
    advance(1);
    ASSERT_TRUE(panelIsDirectlyBelow(e1));

    world().setScreens({Rect(0, 0, 1440, 900), Rect(1440, 0, 2560, 1440)});
    runUntilIdle();
    EXPECT_EQ(panel()->frame(), Rect(0, 0, 4000, 1440));
    world().setScreens({Rect(0, 0, 1280, 800)});
    runUntilIdle();
    EXPECT_EQ(panel()->frame(), Rect(0, 0, 1280, 800));
    EXPECT_TRUE(panelIsDirectlyBelow(e1));
    controller->deactivate();
    advance(1);
    // Off, it follows no screen.
    world().setScreens({Rect(0, 0, 1440, 900)});
    runUntilIdle();
    EXPECT_FALSE(panel());
}

}  // namespace
}  // namespace talvori

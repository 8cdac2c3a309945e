#include "app/AppDelegate.hpp"
#include "app/AppTest.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/PresetManager.hpp"
#include "focus/SpotlightController.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"

namespace talvori::testing {
namespace {

class StartupTest : public AppTest {
  protected:
    // Escape on the simulated keyboard.
    sim::KeyDelivery escape() {
        const auto delivery = input().typeKey(sim::KeyStroke::key(53, "\x1b"));
        runUntilIdle();
        return delivery;
    }
};

TEST_F(StartupTest, OnboardedTheRuntimeStartsAsAnAccessoryWithItsStatusItemAndShortcuts) {
    onboard();
    PresetModel layout{UUID::random(), "Work", {OverlayModel{}}};
    PresetManager(PresetManager::standardKey, defaults().shared_from_this()).save({layout});
    startApp();

    ASSERT_TRUE(manager());
    EXPECT_FALSE(runtime().isStartupDecisionPending());
    EXPECT_EQ(simApplication().policyChanges(), std::vector{ActivationPolicy::accessory});
    EXPECT_TRUE(simApplication().openedScenes().empty());
    EXPECT_EQ(manager()->presets.peek(), std::vector{layout});
    EXPECT_TRUE(manager()->overlays.peek().empty());
    ASSERT_EQ(simStatusBar().items().size(), 1u);
    EXPECT_EQ(statusItem().accessibilityLabel(), "Talvori");
    EXPECT_EQ(globalOn(), 3);
    EXPECT_EQ(focusOn(), 0);
    advance(5);
    EXPECT_TRUE(simApplication().attentionRequests().empty());
}

TEST_F(StartupTest, TheGlobalShortcutsDriveFocusThePanelAndNewCovers) {
    onboard();
    world().setAccessibilityTrusted(true);
    startApp();

    // Shift-Command-F turns Focus on, and with it the four Focus shortcuts.
    EXPECT_EQ(press(ShortcutNames::toggleFocus()), sim::KeyDelivery::intercepted);
    EXPECT_TRUE(manager()->spotlightController().isActive());
    EXPECT_EQ(focusOn(), 4);
    press(ShortcutNames::toggleFocus());
    EXPECT_FALSE(manager()->spotlightController().isActive());
    EXPECT_EQ(focusOn(), 0);
    EXPECT_EQ(globalOn(), 3);

    // Shift-Command-D opens the panel under the status item, as the key window.
    press(ShortcutNames::showPanel());
    ASSERT_TRUE(isMenuPanelOnScreen());
    EXPECT_TRUE(menuPanel()->isKeyWindow());
    const Rect item = statusItem().frameOnScreen();
    EXPECT_DOUBLE_EQ(menuPanel()->frame().maxY(), item.minY() - 6);
    EXPECT_LE(menuPanel()->frame().minX(), item.midX());
    EXPECT_GE(menuPanel()->frame().maxX(), item.midX());

    // Option-Command-N: "Overlay 1", centred on the main screen, its border flashing a moment
    // later.
    press(ShortcutNames::newCover());
    ASSERT_EQ(manager()->overlays.peek().size(), 1u);
    const auto cover = manager()->overlays.peek().front();
    EXPECT_EQ(cover->name(), "Overlay 1");
    const Rect visible = platform().screens().mainScreen()->visibleFrame;
    EXPECT_EQ(cover->model.peek().frame.rect(),
              Rect(visible.midX() - 150, visible.midY() - 100, 300, 200));
    advance(0.049);
    EXPECT_FALSE(cover->showBorderFlash.peek());
    advance(0.002);
    EXPECT_TRUE(cover->showBorderFlash.peek());
}

TEST_F(StartupTest, ThePanelClosesOnEscapeOnAClickElsewhereAndWhenItStopsBeingKey) {
    onboard();
    startApp();
    const std::int32_t editor = world().launchApplication("Editor");
    const std::uint32_t window = world().openWindow(editor, "Notes", Rect(100, 100, 400, 300));

    press(ShortcutNames::showPanel());
    ASSERT_TRUE(isMenuPanelOnScreen());
    EXPECT_EQ(escape(), sim::KeyDelivery::swallowed);
    EXPECT_FALSE(isMenuPanelOnScreen());
    EXPECT_NE(escape(), sim::KeyDelivery::swallowed) << "Escape passes while the panel is closed";

    press(ShortcutNames::showPanel());
    ASSERT_TRUE(isMenuPanelOnScreen());
    input().click({300, 250}, sim::MouseButton::right);
    runUntilIdle();
    EXPECT_FALSE(isMenuPanelOnScreen()) << "a right click in another application";

    press(ShortcutNames::showPanel());
    ASSERT_TRUE(isMenuPanelOnScreen());
    world().focusWindow(window);
    runUntilIdle();
    EXPECT_FALSE(isMenuPanelOnScreen()) << "another application took the keyboard";
    EXPECT_FALSE(menuBar().hasEventMonitors());

    // A click on the status item toggles: it opens the panel, and a second one closes it.
    input().click(itemCentre());
    runUntilIdle();
    EXPECT_TRUE(isMenuPanelOnScreen());
    input().click(itemCentre());
    runUntilIdle();
    EXPECT_FALSE(isMenuPanelOnScreen());
}

TEST_F(StartupTest, NotOnboardedTheFirstRunWindowOpensWithEveryShortcutOff) {
    startApp();
    EXPECT_FALSE(manager());
    EXPECT_EQ(simApplication().policyChanges(), std::vector{ActivationPolicy::regular});
    EXPECT_EQ(simApplication().openedScenes(), std::vector<std::string>{"firstRun"});
    const auto window = simApplication().sceneWindow("firstRun");
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_TRUE(runtime().isFirstRunFlowActive.peek());
    EXPECT_EQ(globalOn() + focusOn(), 0);
    EXPECT_NE(press(ShortcutNames::newCover()), sim::KeyDelivery::intercepted);
    EXPECT_TRUE(simStatusBar().items().empty());
    // The window reached the user: no attention is asked for.
    advance(1);
    EXPECT_TRUE(simApplication().attentionRequests().empty());
}

TEST_F(StartupTest, AFirstRunWindowTheUserLeftAsksForAttentionOnceAfterTheDelay) {
    const std::int32_t editor = world().launchApplication("Editor");
    world().openWindow(editor, "Notes", Rect(100, 100, 400, 300));
    startApp();
    // The user is back in another application before the re-check.
    world().activateApplication(editor);
    advance(0.79);
    EXPECT_TRUE(simApplication().attentionRequests().empty());
    advance(0.02);
    ASSERT_EQ(simApplication().attentionRequests().size(), 1u);
    EXPECT_TRUE(simApplication().attentionRequests().front().critical);
    // The same window captured again brings it up but asks no more in this phase.
    simApplication().openWindow("firstRun");
    advance(2);
    EXPECT_EQ(simApplication().attentionRequests().size(), 1u);
}

TEST_F(StartupTest, CompletingTheFirstRunStartsTheRuntimeClosesTheWindowAndShowsThePanelLater) {
    startApp();
    auto window = simApplication().sceneWindow("firstRun");
    ASSERT_TRUE(window);
    // Through the welcome and permission pages to the finish page.
    for (const char* label : {"Continue", "Skip for now"}) {
        auto button = viewsOf(*window).find(ui::Query::byLabel(label));
        ASSERT_TRUE(button) << label;
        button.click();
        runUntilIdle();
        advance(1);
        viewsOf(*window).pruneRemovals();
    }
    auto finish = viewsOf(*window).find(ui::Query::byLabel("Start using Talvori"));
    ASSERT_TRUE(finish);
    finish.click();
    runUntilIdle();

    ASSERT_TRUE(manager());
    EXPECT_EQ(runtime().startInvocationCount.peek(), 1);
    EXPECT_FALSE(runtime().isFirstRunFlowActive.peek());
    EXPECT_TRUE(defaults().boolValue("hasCompletedOnboarding").value_or(false));
    EXPECT_FALSE(simApplication().sceneWindow("firstRun"));
    EXPECT_FALSE(simApplication().isTerminated()) << "the runtime runs";
    EXPECT_EQ(simApplication().policyChanges(),
              (std::vector{ActivationPolicy::regular, ActivationPolicy::accessory}));
    EXPECT_EQ(globalOn(), 3);
    EXPECT_EQ(focusOn(), 0);
    // The coach mark then points at the status item, and stays.
    advance(0.34);
    EXPECT_FALSE(manager()->coachMarkController().isShowing());
    advance(0.02);
    EXPECT_TRUE(manager()->coachMarkController().isShowing());
    advance(1);
    EXPECT_TRUE(manager()->coachMarkController().isShowing());
    EXPECT_FALSE(isMenuPanelOnScreen());

    // Opened again after onboarding, the first-run window closes itself.
    simApplication().openWindow("firstRun");
    runUntilIdle();
    EXPECT_FALSE(simApplication().sceneWindow("firstRun"));
}

TEST_F(StartupTest, TheFirstRunWindowStaysWhileItsFlowRunsEvenWithTheRuntimeStarted) {
    startApp();
    ASSERT_TRUE(runtime().isFirstRunFlowActive.peek());
    runtime().startRuntime();
    onboard();
    advance(0.1);
    EXPECT_TRUE(simApplication().sceneWindow("firstRun")) << "its flow is still on screen";
    runtime().isFirstRunFlowActive.set(false);
    advance(0.1);
    EXPECT_FALSE(simApplication().sceneWindow("firstRun"));
}

TEST_F(StartupTest, ClosingTheLastWindowQuitsOnlyBeforeTheRuntimeRuns) {
    startApp();
    simApplication().userClosesWindow("firstRun");
    runUntilIdle();
    EXPECT_TRUE(simApplication().isTerminated());
}

TEST_F(StartupTest, ClosingTheSettingsWindowWhileTheRuntimeRunsKeepsTheApplication) {
    onboard();
    startApp();
    simApplication().openWindow("settings");
    ASSERT_TRUE(simApplication().sceneWindow("settings"));
    simApplication().userClosesWindow("settings");
    runUntilIdle();
    EXPECT_FALSE(simApplication().isTerminated());
}

}  // namespace
}  // namespace talvori::testing

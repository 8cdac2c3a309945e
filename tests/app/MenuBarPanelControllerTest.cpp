#include "app/AppTest.hpp"
#include "focus/SpotlightController.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "reminder/UpdateReminder.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::testing {
namespace {

class MenuBarPanelControllerTest : public AppTest {
  protected:
    void start() {
        onboard();
        startApp();
    }
    void open() {
        manager()->showMenuBarPanel();
        runUntilIdle();
    }
    static constexpr Size kPanel{355, 120};
};

TEST_F(MenuBarPanelControllerTest, ThePanelStandsUnderTheItemHeldInsideTheScreen) {
    start();
    const Rect item = statusItem().frameOnScreen();
    const Rect visible = platform().screens().screens().front().visibleFrame;
    // The item sits near the right edge: the panel ends 8 points inside it.
    EXPECT_EQ(menuBar().panelFrame(kPanel),
              Rect(visible.maxX() - 355 - 8, item.minY() - 6 - 120, 355, 120));
    // On a screen narrower than the panel the left margin wins.
    world().setScreens({Rect(0, 0, 300, 700)});
    runUntilIdle();
    EXPECT_EQ(menuBar().panelFrame(kPanel).minX(), 8);
    // An item that is not on screen leaves the top right corner of the main screen.
    simStatusBar().setCrowded(true);
    const Rect main = platform().screens().mainScreen()->visibleFrame;
    EXPECT_EQ(menuBar().panelFrame(kPanel),
              Rect(main.maxX() - 355 - 8, main.maxY() - 6 - 120, 355, 120));
    EXPECT_FALSE(menuBar().statusItemScreenAnchor());
    world().setScreens({});
    runUntilIdle();
    EXPECT_EQ(menuBar().panelFrame(kPanel), Rect(-363, -126, 355, 120));
}

TEST_F(MenuBarPanelControllerTest, AnItemAtTheBottomOfTheScreenOpensThePanelAboveItAndGrowsUp) {
    start();
    const Rect screen = platform().screens().screens().front().frame;
    statusItem().place(Rect(screen.maxX() - 60, screen.minY(), 24, 24));
    open();
    const Rect shown = menuPanel()->frame();
    EXPECT_EQ(shown.minY(), screen.minY() + 24 + 6);
    EXPECT_LE(shown.maxY(), screen.maxY());
    menuBar().contentHeightChanged(shown.height() + 100);
    advance(1);
    EXPECT_EQ(menuPanel()->frame().minY(), shown.minY()) << "the edge at the item stays";
    EXPECT_EQ(menuPanel()->frame().height(), shown.height() + 100);
}

TEST_F(MenuBarPanelControllerTest, TheHeightFollowsTheContentWithItsTopEdgeFixed) {
    start();
    menuBar().contentHeightChanged(300);
    EXPECT_FALSE(menuPanel()) << "nothing while no panel shows";
    open();
    const Rect shown = menuPanel()->frame();
    ASSERT_GT(shown.height(), 0);
    EXPECT_EQ(menuBar().targetContentHeight(), shown.height());
    menuBar().contentHeightChanged(0);
    menuBar().contentHeightChanged(shown.height() + 0.4);
    advance(1);
    EXPECT_EQ(menuPanel()->frame(), shown);

    menuBar().contentHeightChanged(shown.height() + 100);
    advance(0.1);
    const Rect midway = menuPanel()->frame();
    EXPECT_GT(midway.height(), shown.height());
    EXPECT_LT(midway.height(), shown.height() + 100);
    EXPECT_DOUBLE_EQ(midway.maxY(), shown.maxY());
    advance(0.16);
    EXPECT_EQ(menuPanel()->frame(),
              Rect(shown.minX(), shown.minY() - 100, shown.width(), shown.height() + 100));

    simWorkspace().setReduceMotion(true);
    menuBar().contentHeightChanged(shown.height());
    EXPECT_EQ(menuPanel()->frame(), shown) << "at once";

    // Reports while the panel is hidden change nothing; the next show measures afresh.
    manager()->toggleMenuBarPanel();
    menuBar().contentHeightChanged(shown.height() + 50);
    EXPECT_EQ(menuBar().targetContentHeight(), shown.height());
    const auto built = menuPanel();
    open();
    EXPECT_EQ(menuPanel(), built) << "built once, kept between shows";
    EXPECT_EQ(menuPanel()->frame(), shown);
}

TEST_F(MenuBarPanelControllerTest, TheFocusCardGrowingGrowsThePanelDownwards) {
    world().setAccessibilityTrusted(true);
    start();
    open();
    const Rect closed = menuPanel()->frame();
    manager()->spotlightController().activate();
    runUntilIdle();
    advance(MenuBarPanelController::kHeightAnimationDuration + 0.05);
    const Rect grown = menuPanel()->frame();
    EXPECT_GT(grown.height(), closed.height() + 40) << "the card shows its controls";
    EXPECT_DOUBLE_EQ(grown.maxY(), closed.maxY());
    EXPECT_EQ(menuBar().targetContentHeight(), grown.height());
    manager()->spotlightController().deactivate();
}

TEST_F(MenuBarPanelControllerTest, AnItemWithoutAButtonStillLeavesTheShortcutToThePanel) {
    simStatusBar().setItemsWithoutButton(true);
    start();
    EXPECT_FALSE(menuBar().statusItemScreenAnchor());
    press(ShortcutNames::showPanel());
    ASSERT_TRUE(isMenuPanelOnScreen());
    const Rect main = platform().screens().mainScreen()->visibleFrame;
    EXPECT_EQ(menuPanel()->frame().maxX(), main.maxX() - 8);
    EXPECT_EQ(menuPanel()->frame().maxY(), main.maxY() - 6);
}

TEST_F(MenuBarPanelControllerTest, TheStatusItemFollowsAPendingUpdateBothWays) {
    start();
    const auto& reminder = UpdateReminder::shared();
    reminder->setPendingUpdate(UpdateReminder::PendingUpdate{"9.0", "900", "Faster covers."});
    runUntilIdle();
    EXPECT_EQ(statusItem().accessibilityLabel(), "Talvori, update available");
    EXPECT_EQ(manager()->updateCalloutController().announcement(),
              "Talvori 9.0 is ready. Faster covers.");
    reminder->setPendingUpdate(std::nullopt);
    runUntilIdle();
    EXPECT_EQ(statusItem().accessibilityLabel(), "Talvori");
    EXPECT_EQ(manager()->updateCalloutController().announcement(), "");
    reminder->setPendingUpdate(UpdateReminder::PendingUpdate{"9.1", "910", std::nullopt});
    runUntilIdle();
    EXPECT_EQ(statusItem().accessibilityLabel(), "Talvori, update available") << "re-armed";
    // Torn down, the chain stops quietly.
    manager()->menuBarPanelController().tearDown();
    reminder->setPendingUpdate(std::nullopt);
    runUntilIdle();
    EXPECT_TRUE(simStatusBar().items().empty());
}

TEST_F(MenuBarPanelControllerTest, TearingDownRemovesItemPanelAndMonitorsForGood) {
    start();
    EXPECT_EQ(statusItem().accessibilityLabel(), "Talvori");
    open();
    ASSERT_TRUE(menuBar().hasEventMonitors());
    auto controller = manager()->menuBarPanelController().shared_from_this();
    controller->tearDown();
    EXPECT_TRUE(simStatusBar().items().empty());
    EXPECT_FALSE(controller->panel());
    EXPECT_FALSE(controller->hasEventMonitors());
    EXPECT_EQ(controller->targetContentHeight(), 0);
    controller->showPanel();
    controller->statusItemClicked();
    runUntilIdle();
    EXPECT_FALSE(controller->panel()) << "nothing once the manager is let go";
}

}  // namespace
}  // namespace talvori::testing

#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using sim::SimWorld;
using testing::SimDesktopTest;

class SimWorldTest : public SimDesktopTest {
  protected:
    std::int32_t editor = world().launchApplication("Editor", "org.example.editor");
    std::int32_t browser = world().launchApplication("Browser");
};

TEST_F(SimWorldTest, StartsWithOneScreenOurProcessAndTheSystemWindows) {
    ASSERT_EQ(platform().screens().screens().size(), 1u);
    EXPECT_EQ(platform().screens().screens()[0].frame, Rect(0, 0, 1440, 900));
    EXPECT_EQ(platform().screens().screens()[0].visibleFrame, Rect(0, 0, 1440, 876));
    EXPECT_EQ(platform().workspace().processIdentifier(), SimWorld::kOwnPID);
    EXPECT_EQ(platform().workspace().bundleIdentifier(), "org.talvori.Talvori");
    EXPECT_FALSE(platform().workspace().frontmostApplication().has_value());
    // The menu bar is the one window that is not a desktop element.
    EXPECT_EQ(windowNumbersFrontToBack().size(), 1u);
}

TEST_F(SimWorldTest, WindowNumbersAreUniqueAndNeverZero) {
    const auto a = world().openWindow(editor, "A", {0, 0, 100, 100});
    const auto b = world().openWindow(browser, "B", {0, 0, 100, 100});
    auto panel = makePanel({0, 0, 10, 10});
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(panel->windowNumber(), 0u);
    EXPECT_NE(panel->windowNumber(), a);
    EXPECT_NE(panel->windowNumber(), b);
}

TEST_F(SimWorldTest, ActivatingAnApplicationRaisesAllItsWindowsKeepingTheirOrder) {
    const auto e1 = world().openWindow(editor, "E1", {0, 0, 100, 100});
    const auto e2 = world().openWindow(editor, "E2", {0, 0, 100, 100});
    const auto b1 = world().openWindow(browser, "B1", {0, 0, 100, 100});
    world().activateApplication(editor);
    auto order = windowNumbersFrontToBack();
    order.erase(order.begin());  // the menu bar
    // E2 opened last and is the editor's focused window: on top, then E1, then the browser.
    EXPECT_EQ(order, (std::vector<std::uint32_t>{e2, e1, b1}));
    EXPECT_EQ(world().frontmostPID(), editor);
}

TEST_F(SimWorldTest, FocusingAWindowOfTheFrontApplicationRaisesOnlyThatWindow) {
    const auto e1 = world().openWindow(editor, "E1", {0, 0, 100, 100});
    const auto b1 = world().openWindow(browser, "B1", {0, 0, 100, 100});
    world().activateApplication(browser);
    const auto b2 = world().openWindow(browser, "B2", {0, 0, 100, 100});
    world().focusWindow(b1);
    auto order = windowNumbersFrontToBack();
    order.erase(order.begin());
    EXPECT_EQ(order, (std::vector<std::uint32_t>{b1, b2, e1}));
    EXPECT_EQ(world().process(browser)->focusedWindow, b1);
}

TEST_F(SimWorldTest, ClosingTheFocusedWindowMovesFocusToTheApplicationsNextWindow) {
    const auto e1 = world().openWindow(editor, "E1", {0, 0, 100, 100});
    const auto e2 = world().openWindow(editor, "E2", {0, 0, 100, 100});
    world().activateApplication(editor);
    ASSERT_EQ(world().process(editor)->focusedWindow, e2);
    world().closeWindow(e2);
    EXPECT_EQ(world().process(editor)->focusedWindow, e1);
    EXPECT_EQ(world().window(e2), nullptr);
}

TEST_F(SimWorldTest, QuittingTheFrontApplicationBringsThePreviousOneForward) {
    world().openWindow(editor, "E1", {0, 0, 100, 100});
    world().openWindow(browser, "B1", {0, 0, 100, 100});
    world().activateApplication(editor);
    world().activateApplication(browser);
    world().quitApplication(browser);
    EXPECT_EQ(world().frontmostPID(), editor);
    EXPECT_EQ(world().process(browser), nullptr);
    const auto running = platform().workspace().runningApplications();
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].processIdentifier, SimWorld::kOwnPID);
    EXPECT_EQ(running[1].processIdentifier, editor);
}

TEST_F(SimWorldTest, TheWindowListLagsBehindFocusByTheReorderDelay) {
    world().timing().windowListReorderDelay = 0.05;
    const auto e1 = world().openWindow(editor, "E1", {0, 0, 100, 100});
    const auto b1 = world().openWindow(browser, "B1", {0, 0, 100, 100});
    world().focusWindow(e1);
    EXPECT_EQ(world().accessibilityFocusedPID(), editor);
    EXPECT_LT(world().stackIndex(b1), world().stackIndex(e1)) << "not reordered yet";
    advance(0.049);
    EXPECT_LT(world().stackIndex(b1), world().stackIndex(e1));
    advance(0.001);
    EXPECT_LT(world().stackIndex(e1), world().stackIndex(b1));
}

TEST_F(SimWorldTest, TheWorkspaceNoticeFollowsAfterItsDelayWithTheApplication) {
    world().timing().activationNotificationDelay = 0.2;
    std::vector<RunningApplication> activated;
    auto token = platform().notificationCenter().addObserver(
        Workspace::kDidActivateApplicationNotification, nullptr, NotificationDelivery::mainQueue,
        [&](const Notification& notification) {
            activated.push_back(
                *notification.value<RunningApplication>(Workspace::kApplicationKey));
        });
    world().activateApplication(editor);
    runUntilIdle();
    EXPECT_TRUE(activated.empty());
    EXPECT_FALSE(platform().workspace().frontmostApplication().has_value());
    advance(0.2);
    ASSERT_EQ(activated.size(), 1u);
    EXPECT_EQ(activated[0].processIdentifier, editor);
    EXPECT_EQ(activated[0].bundleIdentifier, "org.example.editor");
    EXPECT_EQ(platform().workspace().frontmostApplication()->localizedName, "Editor");
}

TEST_F(SimWorldTest, ActivationNoticeIsNeverDeliveredInsideTheCallThatCausedIt) {
    int notices = 0;
    auto token = platform().notificationCenter().addObserver(
        Workspace::kDidActivateApplicationNotification, nullptr, NotificationDelivery::synchronous,
        [&](const Notification&) { ++notices; });
    platform().application().activate();
    EXPECT_EQ(notices, 0);
    EXPECT_TRUE(platform().application().isActive());
    runUntilIdle();
    EXPECT_EQ(notices, 1);
}

TEST_F(SimWorldTest, ScreenChangesReplaceTheListAndPostTheNotice) {
    int notices = 0;
    auto token = platform().notificationCenter().addObserver(
        Screens::kDidChangeParametersNotification, nullptr, NotificationDelivery::synchronous,
        [&](const Notification&) { ++notices; });
    world().setScreens({{0, 0, 1000, 800}, {1000, 0, 800, 600}});
    EXPECT_EQ(notices, 0);
    runUntilIdle();
    EXPECT_EQ(notices, 1);
    ASSERT_EQ(platform().screens().screens().size(), 2u);
    EXPECT_EQ(platform().screens().primaryHeight(), 800);
    world().setScreens({});
    EXPECT_TRUE(platform().screens().screens().empty());
    EXPECT_FALSE(platform().screens().mainScreen().has_value());
}

TEST_F(SimWorldTest, TheMainScreenIsTheKeyWindowsScreenElseTheFirst) {
    world().setScreens({{0, 0, 1000, 800}, {1000, 0, 800, 600}});
    EXPECT_EQ(platform().screens().mainScreen()->identifier, 1u);
    auto panel = makePanel({1100, 100, 200, 200});
    panel->setCanBecomeKey(true);
    panel->makeKeyAndOrderFront();
    EXPECT_EQ(platform().screens().mainScreen()->identifier, 2u);
    EXPECT_EQ(panel->screen()->identifier, 2u);
}

}  // namespace
}  // namespace talvori

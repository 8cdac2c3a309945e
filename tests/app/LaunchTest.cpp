#include "app/AppDelegate.hpp"
#include "app/AppTest.hpp"
#include "app/StartupDriverLatch.hpp"
#include "reminder/UpdateReminder.hpp"

namespace talvori::testing {
namespace {

TEST(StartupDriverLatchTest, OnlyTheLastDriveArmedBeforeLaunchingEndsRunsAndOnlyOnce) {
    StartupDriverLatch latch;
    std::vector<std::string> ran;
    latch.arm([&] { ran.push_back("first"); });
    latch.arm([&] { ran.push_back("second"); });
    EXPECT_TRUE(ran.empty());
    latch.finishLaunching();
    EXPECT_EQ(ran, std::vector<std::string>{"second"});
    EXPECT_TRUE(latch.hasFired());
    EXPECT_FALSE(latch.hasPendingDrive());
    latch.arm([&] { ran.push_back("late"); });
    latch.finishLaunching();
    EXPECT_EQ(ran.size(), 1u);
    EXPECT_FALSE(latch.hasPendingDrive()) << "a drive after firing is not kept";
}

TEST(StartupDriverLatchTest, LaunchingThatEndsFirstFiresOnTheFirstArm) {
    StartupDriverLatch latch;
    int runs = 0;
    latch.finishLaunching();
    EXPECT_FALSE(latch.hasFired());
    latch.arm([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    latch.arm([&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

class LaunchTest : public AppTest {};

TEST_F(LaunchTest, TheDecisionRunsOnALaterTurnOnceWhateverTheBodyDoes) {
    onboard();
    app = std::make_shared<TalvoriApp>();
    platform().application().setDelegate(app->appDelegate());
    // Launching ends before the body is first evaluated.
    app->appDelegate()->applicationDidFinishLaunching();
    app->body();
    EXPECT_FALSE(manager()) << "never inside the body";
    EXPECT_TRUE(app->appDelegate()->isStartupDecisionPending());
    runUntilIdle();
    ASSERT_TRUE(manager());
    app->body();
    app->body();
    runUntilIdle();
    EXPECT_EQ(simApplication().policyChanges().size(), 1u) << "one decision";
    EXPECT_EQ(simStatusBar().items().size(), 1u);
}

TEST_F(LaunchTest, TheSettingsWindowIsDarkWhateverTheSystemsAppearance) {
    app = TalvoriApp::start();
    runUntilIdle();
    platform().application().openWindow(TalvoriApp::kSettingsSceneID);
    const auto settings = platform().application().sceneWindow(TalvoriApp::kSettingsSceneID);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->appearance(), Appearance::dark);
    for (const auto& scene : app->body()) EXPECT_EQ(scene.appearance, Appearance::dark);
}

TEST_F(LaunchTest, ClosingTheLastWindowQuitsOnlyWhenNoDecisionIsPendingAndNoRuntimeRuns) {
    app = std::make_shared<TalvoriApp>();
    AppDelegate& delegate = *app->appDelegate();
    EXPECT_TRUE(delegate.applicationShouldTerminateAfterLastWindowClosed()) << "before the body";
    app->body();
    EXPECT_FALSE(delegate.applicationShouldTerminateAfterLastWindowClosed()) << "pending";
    runtime().decideStartup();
    EXPECT_TRUE(delegate.applicationShouldTerminateAfterLastWindowClosed()) << "first run";
    runtime().startRuntime();
    EXPECT_FALSE(delegate.applicationShouldTerminateAfterLastWindowClosed()) << "running";
}

TEST_F(LaunchTest, AnUpdaterThatCannotStartIsLoggedOnceAndTheApplicationStillStarts) {
    signUpdates();
    Bundle bundle = platform().mainBundle();
    bundle.setValue(Bundle::kFeedURLKey, std::nullopt);
    platform().setMainBundle(bundle);
    onboard();
    startApp();
    std::vector<std::string> lines;
    for (const auto& record : logs().records()) {
        if (record.category == "Updates") lines.push_back(record.message);
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines.front().starts_with("Sparkle failed to start: ")) << lines.front();
    EXPECT_TRUE(manager());
    EXPECT_EQ(UpdateReminder::shared()->updater.lock(), app->updater());
    EXPECT_TRUE(defaults().string(UpdateReminder::kLastLaunchedVersionKey)) << "launch recorded";
}

// Started again while it runs: the first-run window comes forward while it is open, then the
// panel opens (and stays open at a third start: it does not toggle).
TEST_F(LaunchTest, AnotherStartBringsTheFirstRunWindowForwardOrOpensThePanel) {
    startApp();
    ASSERT_FALSE(manager());
    const auto opened = simApplication().openedScenes().size();
    platform().application().reopen();
    runUntilIdle();
    ASSERT_EQ(simApplication().openedScenes().size(), opened + 1);
    EXPECT_EQ(simApplication().openedScenes().back(), TalvoriApp::kFirstRunSceneID);

    runtime().startRuntime();
    runUntilIdle();
    ASSERT_TRUE(manager());
    EXPECT_FALSE(isMenuPanelOnScreen());
    for (int start = 0; start < 2; ++start) {
        platform().application().reopen();
        runUntilIdle();
        EXPECT_TRUE(isMenuPanelOnScreen());
    }
}

}  // namespace
}  // namespace talvori::testing

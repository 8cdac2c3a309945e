#include <algorithm>
#include <cstdlib>

#include "app/AppTest.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "platform/desktop/HotKeyModifiers.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "reminder/UpdateReminder.hpp"
#include "support/HangingTransport.hpp"
#include "updates/AppcastItem.hpp"
#include "updates/RecordingUserDriver.hpp"
#include "updates/Updater.hpp"

namespace talvori::testing {
namespace {

using PendingUpdate = UpdateReminder::PendingUpdate;

const PendingUpdate kUpdate{"1.3", "999999", "Covers follow windows across spaces."};

// The coach mark and the update callout of the running application, on virtual time: each test
// starts the application at its own zero and advances from there.
class CalloutTimelineTest : public AppTest {
  protected:
    UpdateReminder& reminder() const { return *UpdateReminder::shared(); }
    MenuBarCoachMarkController& coachMark() const { return manager()->coachMarkController(); }
    MenuBarCoachMarkController& callout() const { return manager()->updateCalloutController(); }
    MenuBarCoachMarkController& notice() const { return manager()->takenNoticeController(); }
    void launch(std::optional<PendingUpdate> pending = kUpdate) {
        onboard();
        signUpdates();
        if (pending) reminder().setPendingUpdate(*pending);
        startApp();
    }
    void wait(double seconds) {
        advance(seconds);
        runUntilIdle();
    }
    std::string shownBuild() const {
        return defaults().string(UpdateReminder::kCalloutShownVersionKey).value_or("");
    }
    Point onScreen(const std::string& label) const {
        const auto node = viewsOf(*callout().panel()).find(ui::Query::byLabel(label));
        const Rect frame = node.frameOnScreen().value_or(Rect());
        return {frame.midX(), frame.midY()};
    }
    void click(Point location) {
        input().click(location);
        runUntilIdle();
    }
    // An updater whose checks never finish, as the reminder's.
    std::shared_ptr<updates::Updater> useUpdater() {
        auto updater =
            updates::Updater::make({"Talvori", "1", "1.0", "https://talvori.org/appcast.xml",
                                    "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=", ""},
                                   driver, UpdateReminder::shared(), transport);
        EXPECT_TRUE(updater->start());
        reminder().updater = updater;
        return updater;
    }

    // Writes the screen to $TALVORI_PICTURES/<name>.png when that folder is given.
    void picture(const std::string& name) const {
        if (const char* folder = std::getenv("TALVORI_PICTURES")) {
            sim::ScreenPicture::render(world(), &simStatusBar())
                .writePNG(std::string(folder) + "/" + name + ".png");
        }
    }

    std::shared_ptr<RecordingUserDriver> driver = std::make_shared<RecordingUserDriver>();
    std::shared_ptr<HangingTransport> transport = std::make_shared<HangingTransport>();
};

TEST_F(CalloutTimelineTest, CoachMarkPointsAtTheItemAfterTheDelayAndGivesWayToThePanel) {
    launch(std::nullopt);
    manager()->scheduleCoachMark();
    runUntilIdle();
    wait(0.25);
    // A second request starts the wait again.
    manager()->scheduleCoachMark();
    runUntilIdle();
    wait(0.3);
    EXPECT_FALSE(coachMark().isShowing());
    wait(0.05);
    ASSERT_TRUE(coachMark().isShowing());
    const Rect item = statusItem().frameOnScreen();
    const Rect bubble = coachMark().panel()->frame();
    EXPECT_EQ(bubble.maxY(), item.minY() - 1);
    EXPECT_TRUE(bubble.minX() < item.midX() && item.midX() < bubble.maxX());
    EXPECT_EQ(coachMark().passthroughWindows(), std::vector{statusItem().windowNumber()});
    EXPECT_EQ(simAnnouncer().texts(),
              std::vector<std::string>{
                  "Look for this icon. Click it to open Talvori. Or press \u21e7\u2318D."});
    EXPECT_FALSE(isMenuPanelOnScreen());
    picture("coach-mark-on-screen");

    input().click(itemCentre());
    runUntilIdle();
    EXPECT_TRUE(isMenuPanelOnScreen());
    EXPECT_FALSE(coachMark().isShowing());
}

TEST_F(CalloutTimelineTest, WithoutAnAnchorTheCoachMarkOpensThePanelInstead) {
    launch(std::nullopt);
    statusItem().setHidden(true);
    manager()->scheduleCoachMark();
    runUntilIdle();
    wait(0.35);
    EXPECT_FALSE(coachMark().isShowing());
    EXPECT_TRUE(isMenuPanelOnScreen());
}

// Told once, in words under the status item; told again only when the desktop takes another.
TEST_F(CalloutTimelineTest, TakenShortcutsAreToldOnceUnderTheItemAndAgainWhenAnotherIsTaken) {
    constexpr std::uint32_t kOptionCommand = HotKeyModifiers::option | HotKeyModifiers::command;
    simHotKeys().holdForOtherProgram({126, kOptionCommand});
    launch(std::nullopt);
    wait(0.9);
    EXPECT_FALSE(notice().isShowing());
    wait(0.1);
    ASSERT_TRUE(notice().isShowing());
    const std::string told =
        "Your desktop already uses the Stronger Focus shortcut. Record another one in Settings, "
        "under Shortcuts.";
    EXPECT_TRUE(viewsOf(*notice().panel()).find(ui::Query::byText(told)));
    EXPECT_EQ(simAnnouncer().texts(), std::vector{"Taken by your desktop. " + told});
    EXPECT_EQ(notice().panel()->frame().maxY(), statusItem().frameOnScreen().minY() - 1);
    picture("taken-shortcuts-notice");

    const auto restart = [this] {
        app.reset();
        advance(1);
        startApp();
        wait(5);
    };
    restart();
    EXPECT_FALSE(notice().isShowing()) << "not at every start";
    simHotKeys().holdForOtherProgram({125, kOptionCommand});
    restart();
    ASSERT_TRUE(notice().isShowing());
    EXPECT_TRUE(viewsOf(*notice().panel())
                    .find(ui::Query::byText("Your desktop already uses the Stronger Focus and "
                                            "Softer Focus shortcuts. Record others in Settings, "
                                            "under Shortcuts.")));
}

TEST_F(CalloutTimelineTest, PendingUpdateIsOfferedThreeSecondsAfterLaunchAndThenNoMore) {
    launch();
    wait(2.5);
    EXPECT_FALSE(callout().isShowing());
    EXPECT_EQ(shownBuild(), "");
    wait(0.5);
    ASSERT_TRUE(callout().isShowing());
    EXPECT_EQ(shownBuild(), kUpdate.build);
    EXPECT_EQ(callout().panel()->accessibilityLabel(), kUpdate.readyAnnouncement());
    EXPECT_EQ(simAnnouncer().texts(), std::vector{kUpdate.readyAnnouncement()});
    EXPECT_EQ(callout().panel()->frame().maxY(), statusItem().frameOnScreen().minY() - 1);
    picture("update-callout-on-screen");

    click(onScreen("Later"));
    EXPECT_FALSE(callout().isShowing());
    wait(10);
    EXPECT_FALSE(callout().isShowing());
    EXPECT_TRUE(manager()->updateCalloutTask.task().isFinished());
}

TEST_F(CalloutTimelineTest, BuildShownAtAnEarlierLaunchStaysAway) {
    defaults().set(UpdateReminder::kCalloutShownVersionKey, kUpdate.build);
    launch();
    wait(3);
    EXPECT_FALSE(callout().isShowing());
    EXPECT_TRUE(manager()->updateCalloutTask.task().isFinished());
    manager()->showUpdateCallout();
    EXPECT_FALSE(callout().isShowing());
}

TEST_F(CalloutTimelineTest, PanelOrCoachMarkHoldsTheCalloutBackUntilTheNextAttempt) {
    launch();
    wait(2.5);
    manager()->showMenuBarPanel();
    wait(1);
    EXPECT_FALSE(callout().isShowing());
    EXPECT_EQ(shownBuild(), "") << "held back, not shown: not marked";
    manager()->toggleMenuBarPanel();
    wait(1);
    EXPECT_FALSE(callout().isShowing());
    wait(0.5);
    EXPECT_TRUE(callout().isShowing()) << "the attempt at 5 s";

    callout().dismiss();
    reminder().setPendingUpdate(PendingUpdate{"1.4", "1000000", std::nullopt});
    manager()->showCoachMark();
    manager()->showUpdateCallout();
    EXPECT_FALSE(callout().isShowing());
    EXPECT_TRUE(coachMark().isShowing());
}

TEST_F(CalloutTimelineTest, AttemptsWithoutAnAnchorCountAndEndAfterSixty) {
    launch();
    statusItem().setHidden(true);
    // Attempts at 3, 5, ... 121 s; the 60th is the last.
    wait(120.5);
    EXPECT_EQ(shownBuild(), "");
    statusItem().setHidden(false);
    wait(0.5);
    EXPECT_TRUE(callout().isShowing());

    callout().dismiss();
    reminder().setPendingUpdate(PendingUpdate{"1.4", "1000000", std::nullopt});
    wait(10);
    EXPECT_FALSE(callout().isShowing()) << "no attempts are left";
}

TEST_F(CalloutTimelineTest, UpdateFoundWhileRunningIsOfferedAtOnceAndOnce) {
    launch(std::nullopt);
    wait(3);
    EXPECT_TRUE(manager()->updateCalloutTask.task().isFinished()) << "nothing was pending";
    wait(60);
    updates::AppcastItem item;
    item.version = "1000000";
    item.shortVersion = "1.4";
    item.properties.emplace(UpdateReminder::kSummaryProperty, DefaultsValue("Faster covers."));
    reminder().handleFoundUpdate(item);
    runUntilIdle();
    ASSERT_TRUE(callout().isShowing());
    EXPECT_EQ(shownBuild(), "1000000");

    // A find while the panel is open is not offered later: no new schedule starts.
    callout().dismiss();
    manager()->showMenuBarPanel();
    item.version = "1000001";
    reminder().handleFoundUpdate(item);
    runUntilIdle();
    manager()->toggleMenuBarPanel();
    wait(10);
    EXPECT_FALSE(callout().isShowing());
    EXPECT_EQ(shownBuild(), "1000000");
}

TEST_F(CalloutTimelineTest, ReturnAndUpdateCloseTheCalloutAndStartACheck) {
    launch();
    auto updater = useUpdater();
    platform().application().activate();
    wait(3);
    ASSERT_TRUE(callout().isShowing());
    const auto delivery = input().typeKey(sim::KeyStroke::key(36));
    runUntilIdle();
    EXPECT_EQ(delivery, sim::KeyDelivery::swallowed);
    EXPECT_FALSE(callout().isShowing());
    EXPECT_TRUE(updater->sessionInProgress().peek());
    EXPECT_EQ(driver->shown, std::vector<std::string>{"checking"});

    // "Update" with the updater gone only closes and brings the application forward.
    driver->cancel();
    updater.reset();
    reminder().setPendingUpdate(PendingUpdate{"1.4", "1000000", std::nullopt});
    world().activateApplication(world().launchApplication("Notes"));
    runUntilIdle();
    manager()->showUpdateCallout();
    ASSERT_TRUE(callout().isShowing());
    click(onScreen("Update Talvori"));
    EXPECT_FALSE(callout().isShowing());
    EXPECT_TRUE(simApplication().isActive());
    EXPECT_EQ(std::count(driver->shown.begin(), driver->shown.end(), "checking"), 1);
}

}  // namespace
}  // namespace talvori::testing

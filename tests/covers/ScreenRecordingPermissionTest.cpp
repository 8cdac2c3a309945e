#include <gtest/gtest.h>

#include "covers/ScreenRecordingPermission.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

// Without the menu bar, whose name the window server shows once the grant is there.
class ScreenRecordingPermissionTest : public testing::SimDesktopTest {
  protected:
    ScreenRecordingPermissionTest()
        : SimDesktopTest(sim::SimDesktop::Configuration{.systemWindows = false}) {}

    std::shared_ptr<ScreenRecordingPermission> permission = ScreenRecordingPermission::shared();
    std::int32_t editor = world().launchApplication("Editor", "org.example.editor");

    void grantAfter(double seconds) {
        loop().runAfter(seconds, [this] { simWindowList().setScreenRecordingGranted(true); });
    }
};

using Outcomes = std::vector<std::pair<double, bool>>;

TEST_F(ScreenRecordingPermissionTest, GrantedOnlyWhenAnotherProcessShowsAWindowName) {
    auto cover = makePanel({0, 0, 200, 100});
    cover->setTitle("Cover");
    cover->orderFront();
    simWindowList().setScreenRecordingGranted(true);
    EXPECT_FALSE(permission->isGranted()) << "our own named window does not count";

    simWindowList().setScreenRecordingGranted(false);
    world().openWindow(editor, "", {0, 0, 300, 300});
    EXPECT_FALSE(permission->isGranted()) << "names are hidden without the grant";
    simWindowList().setScreenRecordingGranted(true);
    EXPECT_TRUE(permission->isGranted()) << "an empty name is a name";
    simWindowList().setFailing(true);
    EXPECT_FALSE(permission->isGranted()) << "no list";
}

TEST_F(ScreenRecordingPermissionTest, AGrantedWaitAnswersAtOnceWithoutATimer) {
    world().openWindow(editor, "Notes", {0, 0, 300, 300});
    simWindowList().setScreenRecordingGranted(true);
    std::vector<bool> results;
    permission->waitForGrant([&](bool granted) { results.push_back(granted); });
    EXPECT_EQ(results, std::vector<bool>{true});
    EXPECT_FALSE(permission->isWaiting());
    EXPECT_EQ(simWindowList().grantRequestCount(), 0);
}

TEST_F(ScreenRecordingPermissionTest, AWaitAsksForTheGrantOnceAndPollsEverySecond) {
    world().openWindow(editor, "Notes", {0, 0, 300, 300});
    Outcomes outcomes;
    permission->waitForGrant([&](bool granted) { outcomes.push_back({now(), granted}); });
    EXPECT_EQ(simWindowList().grantRequestCount(), 1);
    grantAfter(4.5);
    advance(4.999);
    EXPECT_TRUE(outcomes.empty());
    advance(0.001);
    EXPECT_EQ(outcomes, (Outcomes{{5.0, true}}));
    EXPECT_FALSE(permission->isWaiting());
    EXPECT_EQ(simWindowList().grantRequestCount(), 1);
}

TEST_F(ScreenRecordingPermissionTest, AWaitGivesUpWithFalseAfterSixtySeconds) {
    Outcomes outcomes;
    permission->waitForGrant([&](bool granted) { outcomes.push_back({now(), granted}); });
    advance(59.999);
    EXPECT_TRUE(outcomes.empty());
    EXPECT_TRUE(permission->isWaiting());
    advance(0.001);
    EXPECT_EQ(outcomes, (Outcomes{{60.0, false}}));
    EXPECT_FALSE(permission->isWaiting());
}

TEST_F(ScreenRecordingPermissionTest, ASecondWaiterRestartsTheCountAndBothHearTheOutcomeOnce) {
    Outcomes first, second;
    permission->waitForGrant([&](bool granted) { first.push_back({now(), granted}); });
    advance(30.5);
    permission->waitForGrant([&](bool granted) { second.push_back({now(), granted}); });
    advance(59.999);
    EXPECT_TRUE(first.empty());
    advance(0.001);
    EXPECT_EQ(first, (Outcomes{{90.5, false}}));
    EXPECT_EQ(second, (Outcomes{{90.5, false}}));
    advance(120);
    EXPECT_EQ(first.size() + second.size(), 2u);
}

TEST_F(ScreenRecordingPermissionTest, AWaiterThatWaitsAgainStartsAFreshWait) {
    Outcomes outcomes;
    std::function<void(bool)> again = [&](bool granted) {
        outcomes.push_back({now(), granted});
        if (outcomes.size() == 1) permission->waitForGrant(again);
    };
    permission->waitForGrant(again);
    advance(120);
    EXPECT_EQ(outcomes, (Outcomes{{60.0, false}, {120.0, false}}));
}

TEST_F(ScreenRecordingPermissionTest, AReleasedServiceStopsItsTimer) {
    auto own = ScreenRecordingPermission::create();
    bool called = false;
    own->waitForGrant([&](bool) { called = true; });
    own.reset();
    advance(61);
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace talvori

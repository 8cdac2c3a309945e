#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class SimSmallServicesTest : public SimDesktopTest {};

TEST_F(SimSmallServicesTest, OpenURLIsRecordedAndCanFail) {
    const std::string first = "x-settings:accessibility";
    simWorkspace().setFailingURLs({first});
    EXPECT_FALSE(platform().workspace().openURL(first));
    EXPECT_TRUE(platform().workspace().openURL("https://talvori.org/privacy/"));
    EXPECT_EQ(simWorkspace().openedURLs(),
              (std::vector<std::string>{first, "https://talvori.org/privacy/"}));
}

TEST_F(SimSmallServicesTest, ReduceMotionIsReadAtEachCall) {
    EXPECT_FALSE(platform().workspace().accessibilityDisplayShouldReduceMotion());
    simWorkspace().setReduceMotion(true);
    EXPECT_TRUE(platform().workspace().accessibilityDisplayShouldReduceMotion());
}

TEST_F(SimSmallServicesTest, AnnouncementsAreRecordedWithTheirTime) {
    advance(1.5);
    platform().announcer().announce("Focus 50 percent", Announcer::kHighPriority);
    ASSERT_EQ(simAnnouncer().announcements().size(), 1u);
    EXPECT_EQ(simAnnouncer().announcements()[0],
              (sim::SimAnnouncer::Announcement{1.5, "Focus 50 percent", 90}));
}

TEST_F(SimSmallServicesTest, TheColourSamplerAnswersOnceOnALaterTurn) {
    std::vector<std::optional<Color>> answers;
    platform().colorSampler().begin([&](std::optional<Color> color) { answers.push_back(color); });
    EXPECT_TRUE(simColorSampler().isSampling());
    simColorSampler().pick(Color::rgb255(255, 127, 80));
    simColorSampler().cancel();
    EXPECT_TRUE(answers.empty());
    runUntilIdle();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], Color::rgb255(255, 127, 80));
    platform().colorSampler().begin([&](std::optional<Color> color) { answers.push_back(color); });
    simColorSampler().cancel();
    runUntilIdle();
    EXPECT_EQ(answers.back(), std::nullopt);
}

TEST_F(SimSmallServicesTest, TheLoginItemKeepsItsStateAndCanFail) {
    auto& item = platform().loginItem();
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_FALSE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);
    simLoginItem().setFailure("Operation not permitted");
    EXPECT_EQ(item.unregisterItem(), "Operation not permitted");
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);
}

TEST_F(SimSmallServicesTest, AVirtualPlatformWithoutADesktopHasNone) {
    auto bare = Platform::makeVirtual();
    EXPECT_FALSE(bare->hasDesktop());
    EXPECT_TRUE(platform().hasDesktop());
    EXPECT_DEATH(bare->screens(), "no desktop is installed");
}

}  // namespace
}  // namespace talvori

#include <gtest/gtest.h>

#include "UiTest.hpp"
#include "platform/desktop/Image.hpp"
#include "ui/PlatformImage.hpp"

namespace talvori::ui::testing {
namespace {

class PlatformImageTest : public UiTest {};

TEST_F(PlatformImageTest, AnApplicationsIconShowsAt16PointsAndAMissingOneLeavesNothing) {
    const auto pid = world().launchApplication("Mail", "com.example.mail");
    world().setApplicationIcon(pid, sim::SimWorld::sampleIcon(Color::rgb255(52, 199, 89)));
    const auto apps = platform().workspace().runningApplications();
    const auto mail = std::find_if(apps.begin(), apps.end(),
                                   [&](const auto& app) { return app.processIdentifier == pid; });
    ASSERT_TRUE(mail != apps.end() && mail->icon);
    auto h = host(HStack(0, {platformImage(*mail->icon).resizable().frame(16, 16),
                             platformImage(talvori::Image{}).resizable().frame(16, 16)}));
    EXPECT_TRUE(close(pixel(*h, {8, 8}), Color::white()));
    EXPECT_TRUE(close(pixel(*h, {3, 8}), Color::rgb255(52, 199, 89)));
    EXPECT_EQ(pixel(*h, {24, 8}).alpha, 0);
}

TEST_F(PlatformImageTest, TheStatusArtworkIsAWindowWithAShade) {
    auto h =
        host(ui::Image("icon-menubar").resizable().frame(18, 18).foregroundColor(Color::black()));
    EXPECT_GT(pixel(*h, {9, 11}).alpha, 0.9) << "the shade";
    EXPECT_LT(pixel(*h, {9, 8.5}).alpha, 0.1) << "the window's content above the shade";
    EXPECT_GT(pixel(*h, {2.5, 11}).alpha, 0.5) << "the window's edge";
}

TEST_F(PlatformImageTest, MissingArtworkGivesNoPicture) {
    EXPECT_TRUE(assetImage("icon-menubar", {18, 18}));
    EXPECT_FALSE(assetImage("icon-menubar", {18, 18}, "/nonexistent"));
    EXPECT_FALSE(assetImage("icon-unknown", {18, 18}));
}

}  // namespace
}  // namespace talvori::ui::testing

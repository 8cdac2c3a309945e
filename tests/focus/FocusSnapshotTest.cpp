#include <gtest/gtest.h>

#include "focus/FocusSnapshot.hpp"

namespace talvori {
namespace {

constexpr std::int32_t kOwnPID = 700;

WindowInfo entry(std::uint32_t number, std::int32_t pid = 1001, Rect bounds = {10, 20, 300, 200}) {
    WindowInfo info;
    info.number = number;
    info.ownerPID = pid;
    info.ownerName = "Editor";
    info.layer = 0;
    info.alpha = 1;
    info.bounds = bounds;
    return info;
}

TEST(FocusSnapshotTest, OnlyOtherProcessesNormalVisibleWindowsQualify) {
    EXPECT_EQ(FocusSnapshot::parseWindowInfo(entry(5), kOwnPID),
              (EligibleFocusWindow{5, 1001, "Editor"}));

    auto own = entry(5, kOwnPID);
    auto floating = entry(5);
    floating.layer = 3;
    auto invisible = entry(5);
    invisible.alpha = 0;
    auto thin = entry(5, 1001, Rect(0, 0, 1, 300));
    auto flat = entry(5, 1001, Rect(0, 0, 300, 1.5));
    auto numberZero = entry(0);
    auto noPID = entry(5);
    noPID.ownerPID.reset();
    auto noLayer = entry(5);
    noLayer.layer.reset();
    auto noAlpha = entry(5);
    noAlpha.alpha.reset();
    auto noNumber = entry(5);
    noNumber.number.reset();
    auto noBounds = entry(5);
    noBounds.bounds.reset();
    for (const auto& rejected : {own, floating, invisible, thin, flat, numberZero, noPID, noLayer,
                                 noAlpha, noNumber, noBounds}) {
        EXPECT_FALSE(FocusSnapshot::parseWindowInfo(rejected, kOwnPID));
    }

    auto smallest = entry(5, 1001, Rect(0, 0, 2, 2));
    EXPECT_TRUE(FocusSnapshot::parseWindowInfo(smallest, kOwnPID));
    auto unnamed = entry(5);
    unnamed.ownerName.reset();
    EXPECT_EQ(FocusSnapshot::parseWindowInfo(unnamed, kOwnPID),
              (EligibleFocusWindow{5, 1001, std::nullopt}));
}

TEST(FocusSnapshotTest, KeepsTheListOrderAndFlipsFramesWithThePrimaryHeight) {
    auto cover = entry(3, kOwnPID);
    const auto snapshot = FocusSnapshot::make(
        9, {entry(4, 1002, Rect(0, 0, 100, 50)), cover, entry(7, 1001, Rect(10, 100, 300, 200))},
        900, kOwnPID);
    EXPECT_EQ(snapshot.candidate, 9u);
    ASSERT_EQ(snapshot.windows.size(), 2u);
    EXPECT_EQ(snapshot.windows[0].windowID, 4u);
    EXPECT_EQ(snapshot.windows[1].windowID, 7u);
    EXPECT_EQ(snapshot.frames.at(4), Rect(0, 850, 100, 50));
    EXPECT_EQ(snapshot.frames.at(7), Rect(10, 600, 300, 200));
    EXPECT_FALSE(snapshot.frames.contains(3));
}

TEST(FocusSnapshotTest, FirstWindowIDIsTheFrontMostOfTheProcess) {
    const std::vector<EligibleFocusWindow> windows = {{4, 1002, {}}, {7, 1001, {}}, {8, 1001, {}}};
    EXPECT_EQ(FocusSnapshot::firstWindowID(1001, windows), 7u);
    EXPECT_EQ(FocusSnapshot::firstWindowID(1003, windows), std::nullopt);
}

}  // namespace
}  // namespace talvori

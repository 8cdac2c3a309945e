#include <gtest/gtest.h>

#include "focus/ShadeAnchorDecision.hpp"
#include "focus/TransientSelection.hpp"

namespace talvori {
namespace {

using Kind = ShadeAnchorDecision::Kind;

EligibleFocusWindow window(std::uint32_t id) {
    return {id, static_cast<std::int32_t>(100 + id), "App"};
}

// Windows 1, 2, 3 front to back.
const std::vector<EligibleFocusWindow> kWindows = {window(1), window(2), window(3)};

TEST(ShadeAnchorDecisionTest, NoCandidateHoldsAListedAnchorAndOtherwiseDoesNothing) {
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(std::nullopt, 2, kWindows),
              (ShadeAnchorDecision{Kind::hold, window(2), 0}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(std::nullopt, 9, kWindows).kind, Kind::none);
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(std::nullopt, 0, kWindows).kind, Kind::none);
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(1, 0, {}).kind, Kind::none);
}

TEST(ShadeAnchorDecisionTest, AnUnlistedCandidateHoldsAListedAnchorAndOtherwiseDoesNothing) {
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(7, 3, kWindows),
              (ShadeAnchorDecision{Kind::hold, window(3), 0}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(7, 8, kWindows).kind, Kind::none);
}

TEST(ShadeAnchorDecisionTest, TheFrontWindowIsCommittedWhateverTheOldAnchor) {
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(1, 3, kWindows),
              (ShadeAnchorDecision{Kind::commit, window(1), 3}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(1, 9, kWindows),
              (ShadeAnchorDecision{Kind::commit, window(1), 9}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(1, 1, kWindows),
              (ShadeAnchorDecision{Kind::commit, window(1), 1}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(1, 0, kWindows),
              (ShadeAnchorDecision{Kind::commit, window(1), 0}));
}

TEST(ShadeAnchorDecisionTest, ACandidateBehindTheFrontHoldsOrIsSnappedTo) {
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(2, 3, kWindows),
              (ShadeAnchorDecision{Kind::hold, window(3), 0}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(2, 2, kWindows),
              (ShadeAnchorDecision{Kind::hold, window(2), 0}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(2, 9, kWindows),
              (ShadeAnchorDecision{Kind::snapToFallback, window(2), 0}));
    EXPECT_EQ(ShadeAnchorDecision::resolveShadeAnchor(3, 0, kWindows),
              (ShadeAnchorDecision{Kind::snapToFallback, window(3), 0}));
}

class TransientSelectionTest : public ::testing::Test {
  protected:
    // Windows 1...count front to back, each 100 wide at x = 10 * id on the first screen.
    void stack(std::uint32_t count) {
        for (std::uint32_t id = 1; id <= count; ++id) {
            windows.push_back(window(id));
            frames[id] = Rect(10.0 * id, 100, 100, 100);
        }
    }
    TransientSelection select(std::uint32_t newAnchor, std::uint32_t replaced) const {
        return TransientSelection::selectTransientWindows(windows, frames, newAnchor, replaced,
                                                          screen);
    }
    static std::vector<std::uint32_t> ids(const TransientSelection& selection) {
        std::vector<std::uint32_t> result;
        for (const auto& transient : selection.transients) result.push_back(transient.windowID);
        return result;
    }

    std::vector<EligibleFocusWindow> windows;
    std::unordered_map<std::uint32_t, Rect> frames;
    Rect screen{0, 0, 1440, 900};
};

TEST_F(TransientSelectionTest, CoversTheWindowsDownToTheOldAnchorLeavingOutTheNewOne) {
    stack(6);
    const auto selection = select(1, 4);
    EXPECT_EQ(ids(selection), (std::vector<std::uint32_t>{2, 3, 4}));
    EXPECT_EQ(selection.omitted, 0u);
    EXPECT_EQ(selection.transients[0].frame, Rect(20, 100, 100, 100));
}

TEST_F(TransientSelectionTest, NothingWithoutAListedOldAnchorOrWithAMissingFrame) {
    stack(4);
    EXPECT_TRUE(select(1, 0).transients.empty());
    EXPECT_TRUE(select(1, 9).transients.empty());
    EXPECT_TRUE(select(1, 1).transients.empty());
    frames.erase(2);
    EXPECT_TRUE(select(1, 3).transients.empty());
    EXPECT_TRUE(
        TransientSelection::selectTransientWindows({}, {}, 1, 2, screen).transients.empty());
}

TEST_F(TransientSelectionTest, TheCapKeepsTheSevenFrontMostAndTheOldAnchor) {
    stack(14);
    const auto selection = select(1, 13);
    EXPECT_EQ(ids(selection), (std::vector<std::uint32_t>{2, 3, 4, 5, 6, 7, 8, 13}));
    EXPECT_EQ(selection.omitted, 4u);
    // Exactly eight in range: no cap.
    EXPECT_EQ(select(1, 9).transients.size(), 8u);
    EXPECT_EQ(select(1, 9).omitted, 0u);
}

TEST_F(TransientSelectionTest, WindowsOffThePanelGetNoSmallPanelAndOthersAreCutToIt) {
    stack(4);
    frames[2] = Rect(1500, 100, 200, 200);  // on a second screen to the right
    frames[3] = Rect(1400, 100, 200, 200);  // straddling both screens
    const auto selection = select(1, 4);
    EXPECT_EQ(ids(selection), (std::vector<std::uint32_t>{3, 4}));
    EXPECT_EQ(selection.transients[0].frame, Rect(1400, 100, 40, 200));
}

}  // namespace
}  // namespace talvori

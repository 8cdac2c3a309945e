#include <gtest/gtest.h>

#include "covers/announceForAccessibility.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using AnnounceForAccessibilityTest = testing::SimDesktopTest;

TEST_F(AnnounceForAccessibilityTest, AnnouncementsAreSpokenAtHighPriority) {
    advance(3);
    announceForAccessibility("Focus stronger");
    EXPECT_EQ(simAnnouncer().announcements(),
              (std::vector<sim::SimAnnouncer::Announcement>{{3.0, "Focus stronger", 90}}));
}

}  // namespace
}  // namespace talvori

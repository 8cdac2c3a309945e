#include <gtest/gtest.h>

#include "platform/sim/SimKeyboardLayout.hpp"

namespace talvori::sim {
namespace {

TEST(SimKeyboardLayoutTest, UsAndGermanLayoutsDifferWhereRealOnesDo) {
    SimKeyboardLayout layout;
    EXPECT_EQ(layout.characters(0), "a");
    EXPECT_EQ(layout.characters(6), "z");
    EXPECT_EQ(layout.characters(22), "6");
    EXPECT_EQ(layout.characters(23), "5");
    EXPECT_EQ(layout.characters(27), "-");
    EXPECT_EQ(layout.characters(92), "9");
    // Keys that type nothing.
    EXPECT_EQ(layout.characters(122), "");
    EXPECT_EQ(layout.characters(1000), "");

    layout.selectLayout(SimKeyboardLayout::Layout::german);
    EXPECT_EQ(layout.characters(0), "a");
    EXPECT_EQ(layout.characters(6), "y");
    EXPECT_EQ(layout.characters(16), "z");
    EXPECT_EQ(layout.characters(27), "ß");
    // A dead accent key types nothing by itself.
    EXPECT_EQ(layout.characters(50), "");
}

TEST(SimKeyboardLayoutTest, OverridesAndUnavailability) {
    SimKeyboardLayout layout;
    layout.overrideKey(0, "ab");
    EXPECT_EQ(layout.characters(0), "ab");
    layout.setUnavailable(true);
    EXPECT_EQ(layout.characters(1), std::nullopt);
    layout.setUnavailable(false);
    layout.clearOverrides();
    EXPECT_EQ(layout.characters(0), "a");
}

}  // namespace
}  // namespace talvori::sim

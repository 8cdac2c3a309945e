#include <gtest/gtest.h>

#include <cmath>

#include "covers/CodableColor.hpp"
#include "covers/Palette.hpp"

namespace talvori {
namespace {

std::string hexOf(double red, double green, double blue) {
    const auto hex = CodableColor::opaqueHex(Color{red, green, blue, 1});
    return hex ? hex->first : "<none>";
}

TEST(CodableColorTest, APlatformColourIsTakenAsItIs) {
    EXPECT_EQ(CodableColor::fromPlatformColor(Color{0.1234567, 1.5, -0.25, 0.3}),
              (CodableColor{0.1234567, 1.5, -0.25, 0.3}));
}

TEST(CodableColorTest, OpaqueHexRoundsHalvesUpAndClampsEachChannel) {
    EXPECT_EQ(hexOf(1, 0.5, 0), "FF8000");
    EXPECT_EQ(hexOf(127.5 / 255, 126.5 / 255, 0.4999 / 255), "807F00");
    EXPECT_EQ(hexOf(1.7, -0.3, -0.0), "FF0000");
    EXPECT_EQ(hexOf(std::nan(""), INFINITY, -INFINITY), "00FF00");
    EXPECT_EQ(hexOf(245 / 255.0, 160 / 255.0, 53 / 255.0), "F5A035");
}

TEST(CodableColorTest, TheQuantisedColourIsOpaqueWhateverTheInputAlpha) {
    const auto hex = CodableColor::opaqueHex(Color{1, 0.5, 0.2, 0.25});
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->first, "FF8033");
    EXPECT_EQ(hex->second, (CodableColor{1, 128 / 255.0, 51 / 255.0, 1}));
}

TEST(PaletteTest, ConstantsAreEightBitChannelsAndOpacities) {
    EXPECT_EQ(Palette::accent, (Color{245 / 255.0, 160 / 255.0, 53 / 255.0, 1}));
    EXPECT_EQ(Palette::accentTint376, Palette::accent.withAlpha(0.376));
    EXPECT_EQ(Palette::ink, (Color{21 / 255.0, 24 / 255.0, 32 / 255.0, 1}));
    EXPECT_EQ(Palette::infoGrey, (Color{0.184, 0.184, 0.184, 1}));
    EXPECT_EQ(Palette::white48, Color::white().withAlpha(0.48));
    EXPECT_EQ(Palette::black70, Color::black().withAlpha(0.7));
}

}  // namespace
}  // namespace talvori

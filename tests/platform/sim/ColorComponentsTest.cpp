#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/desktop/Color.hpp"

namespace talvori {
namespace {

TEST(ColorComponentsTest, HueSaturationAndBrightnessGoBothWaysAsThePickerNeeds) {
    // Coral: FF7F50.
    const Color coral = Color::rgb255(255, 127, 80);
    const Color back = Color::fromHSB(coral.hueComponent(), coral.saturationComponent(),
                                      coral.brightnessComponent());
    EXPECT_NEAR(back.red, coral.red, 1e-12);
    EXPECT_NEAR(back.green, coral.green, 1e-12);
    EXPECT_NEAR(back.blue, coral.blue, 1e-12);
    EXPECT_NEAR(coral.hueComponent(), 16.114 / 360, 1e-4);
    // The hue bar's ends are the same red; its stops run red, yellow, green, cyan, blue, magenta.
    EXPECT_EQ(Color::fromHSB(1, 1, 1), Color::fromHSB(0, 1, 1));
    EXPECT_EQ(Color::fromHSB(0, 1, 1), (Color{1, 0, 0, 1}));
    EXPECT_EQ(Color::fromHSB(3.0 / 6, 1, 1), (Color{0, 1, 1, 1}));
    EXPECT_EQ(Color::fromHSB(5.0 / 6, 1, 1), (Color{1, 0, 1, 1}));
    EXPECT_NEAR((Color{1, 0, 0.5, 1}).hueComponent(), 11.0 / 12, 1e-12);
    // Greys, black included, have no hue and no saturation.
    for (const Color grey : {Color::rgb255(128, 128, 128), Color::black(), Color::white()}) {
        EXPECT_EQ(grey.hueComponent(), 0);
        EXPECT_EQ(grey.saturationComponent(), 0);
    }
    EXPECT_EQ(Color::fromHSB(0.3, 0, 0.5), (Color{0.5, 0.5, 0.5, 1}));
}

TEST(ColorComponentsTest, ComponentsOutsideTheirRangeAreBroughtIntoIt) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Color::fromHSB(-0.5, 2, 7, 0.5), (Color{1, 0, 0, 0.5}));
    EXPECT_EQ(Color::fromHSB(nan, nan, nan), Color::black());
}

}  // namespace
}  // namespace talvori

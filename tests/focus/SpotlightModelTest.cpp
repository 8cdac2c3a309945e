#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "focus/SpotlightModel.hpp"
#include "focus/StepRule.hpp"

namespace talvori {
namespace {

Data bytes(const std::string& text) {
    return Data(text.begin(), text.end());
}
std::string text(const Data& data) {
    return std::string(data.begin(), data.end());
}

TEST(SpotlightEffectTest, RawValuesAreTheStoredTexts) {
    EXPECT_EQ(SpotlightEffect(SpotlightEffect::dim).rawValue(), "dim");
    EXPECT_EQ(SpotlightEffect(SpotlightEffect::glass).rawValue(), "glass");
    EXPECT_EQ(SpotlightEffect::fromRawValue("glass"), SpotlightEffect::glass);
    EXPECT_EQ(SpotlightEffect::fromRawValue("Glass"), std::nullopt);
    EXPECT_EQ(SpotlightEffect::fromRawValue("blur"), std::nullopt);
}

TEST(SpotlightModelTest, EncodesAllSixMembersCompactly) {
    EXPECT_EQ(text(*SpotlightModel{}.encoded()),
              R"({"dimOpacity":0.5,"glassOpacity":0.5,"glassOpacityLinked":true,"effect":"dim",)"
              R"("blurRadius":20.0,"fadeDuration":0.2})");
}

TEST(SpotlightModelTest, NumbersRoundTripBitForBit) {
    SpotlightModel model{0.1 + 0.2, 1.0 / 3.0, false, SpotlightEffect::glass, 20.7, 0.13};
    EXPECT_EQ(SpotlightModel::decoded(*model.encoded()), model);
}

TEST(SpotlightModelTest, ReadsMembersInAnyOrderAndIgnoresUnknownOnes) {
    const auto model = SpotlightModel::decoded(
        bytes(R"({"fadeDuration":0.3,"effect":"glass","extra":[1],"blurRadius":7,)"
              R"("glassOpacityLinked":false,"glassOpacity":0.25,"dimOpacity":0.75})"));
    ASSERT_TRUE(model);
    EXPECT_EQ(*model, (SpotlightModel{0.75, 0.25, false, SpotlightEffect::glass, 7.0, 0.3}));
}

TEST(SpotlightModelTest, AnyFaultFailsTheWholeRecord) {
    const std::string good =
        R"("dimOpacity":0.5,"glassOpacity":0.5,"glassOpacityLinked":true,"blurRadius":20)";
    const auto decode = [&](const std::string& rest) {
        return SpotlightModel::decoded(bytes("{" + good + rest + "}"));
    };
    EXPECT_TRUE(decode(R"(,"effect":"dim","fadeDuration":0.2)"));
    // A member missing, an unknown effect, a string for a number, null for a number.
    EXPECT_FALSE(decode(R"(,"effect":"dim")"));
    EXPECT_FALSE(decode(R"(,"effect":"blur","fadeDuration":0.2)"));
    EXPECT_FALSE(decode(R"(,"effect":"dim","fadeDuration":"0.2")"));
    EXPECT_FALSE(decode(R"(,"effect":"dim","fadeDuration":null)"));
    EXPECT_FALSE(SpotlightModel::decoded(
        bytes(R"({"dimOpacity":0.5,"glassOpacity":0.5,"glassOpacityLinked":1,"blurRadius":20,)"
              R"("effect":"dim","fadeDuration":0.2})")));
    EXPECT_FALSE(SpotlightModel::decoded(bytes("[1,2]")));
    EXPECT_FALSE(SpotlightModel::decoded(bytes("not json")));
    EXPECT_FALSE(SpotlightModel::decoded(Data{}));
}

TEST(SpotlightModelTest, NumbersTooLargeForADoubleFailTheRecord) {
    EXPECT_FALSE(SpotlightModel::decoded(
        bytes(R"({"dimOpacity":0.5,"glassOpacity":0.5,"glassOpacityLinked":true,"effect":"dim",)"
              R"("blurRadius":1e400,"fadeDuration":0.2})")));
}

TEST(SpotlightModelTest, LargeButFiniteNumbersLoadAsStored) {
    const auto model = SpotlightModel::decoded(
        bytes(R"({"dimOpacity":1e300,"glassOpacity":-3,"glassOpacityLinked":true,"effect":"dim",)"
              R"("blurRadius":1e10,"fadeDuration":0.2})"));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->dimOpacity, 1e300);
    EXPECT_EQ(model->glassOpacity, -3.0);
    EXPECT_EQ(model->blurRadius, 1e10);
}

TEST(SpotlightModelTest, ANumberThatCannotBeWrittenEncodesToNothing) {
    SpotlightModel model;
    model.dimOpacity = std::nan("");
    EXPECT_FALSE(model.encoded());
}

TEST(SpotlightModelTest, FadeRuleFloorsCapsAndRoundsHalvesAwayFromZero) {
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.125), 0.13);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.123), 0.12);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.333), 0.33);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.9), 0.45);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.0), 0.05);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.01), 0.05);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.05), 0.05);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(0.051), 0.05);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(std::nan("")), 0.05);
    EXPECT_DOUBLE_EQ(SpotlightModel::clampedFadeDuration(HUGE_VAL), 0.45);
}

struct StepCase {
    double value;
    bool up;
    double expected;
};

TEST(StepRuleTest, OpacityStepsLandOnTenthsWithinTheRange) {
    const StepCase cases[] = {
        {0.5, true, 0.6},  {0.5, false, 0.4},   {0.55, true, 0.6}, {0.55, false, 0.5},
        {0.3, true, 0.4},  {0.3, false, 0.2},   {1.3, true, 1.3},  {1.3, false, 1.0},
        {0.05, true, 0.1}, {0.05, false, 0.05}, {1.0, true, 1.0},  {0.1, false, 0.1},
        {0.7, true, 0.8},  {0.9, true, 1.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StepRule::opacity.stepped(c.value, c.up), c.expected)
            << c.value << (c.up ? " up" : " down");
    }
}

TEST(StepRuleTest, BlurStepsLandOnFivesWithinTheRange) {
    const StepCase cases[] = {
        {20, true, 25}, {20, false, 15}, {3, false, 0},   {3, true, 5},
        {0, false, 0},  {50, true, 50},  {60, false, 50}, {-5, true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StepRule::blur.stepped(c.value, c.up), c.expected)
            << c.value << (c.up ? " up" : " down");
    }
}

}  // namespace
}  // namespace talvori

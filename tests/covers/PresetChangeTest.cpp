#include <gtest/gtest.h>

#include "CoverSamples.hpp"
#include "covers/OverlayModel.hpp"

namespace talvori {
namespace {

using testing::sampleCover;
using Lines = std::vector<PresetChange>;

Lines changes(const std::vector<OverlayModel>& current, const std::vector<OverlayModel>& saved) {
    return OverlayModel::presetChanges(current, saved);
}

TEST(PresetChangeTest, EmptyIdenticalOrReorderedListsHaveNoLines) {
    const auto a = sampleCover("A");
    const auto b = sampleCover("B");
    EXPECT_TRUE(changes({}, {}).empty());
    EXPECT_TRUE(changes({a, b}, {a, b}).empty());
    EXPECT_TRUE(changes({b, a}, {a, b}).empty());
}

TEST(PresetChangeTest, AdditionsInCurrentOrderThenRemovalsThenModifications) {
    const auto kept = sampleCover("Kept");
    auto moved = kept;
    moved.frame.x += 0.5;
    const auto added1 = sampleCover("");
    const auto added2 = sampleCover("Second");
    const auto removed = sampleCover("");
    EXPECT_EQ(changes({moved, added1, added2}, {removed, kept}),
              (Lines{{"Overlay", "added"},
                     {"Second", "added"},
                     {"Overlay", "removed"},
                     {"Kept", "moved or resized"}}));
}

TEST(PresetChangeTest, ChangedFieldsAppearInTheFixedOrderUnderTheCurrentName) {
    const auto saved = sampleCover("Old name");
    auto current = saved;
    current.name = "New name";
    current.color.red = 0.2;
    current.opacity = 0.29;
    current.blurRadius = 3;
    current.effectType = EffectType::glass;
    current.isClickThroughEnabled = true;
    current.zOrderMode = ZOrderMode::smart;
    current.frame.height = 151;
    current.attachmentInfo = AttachmentInfo{42, "org.example.Mail", "Mail"};
    EXPECT_EQ(changes({current}, {saved}), (Lines{{"New name", "attached to Mail"},
                                                  {"New name", "color changed"},
                                                  {"New name", "opacity \u2192 28%"},
                                                  {"New name", "moved or resized"},
                                                  {"New name", "blur changed"},
                                                  {"New name", "effect \u2192 glass"},
                                                  {"New name", "click-through on"},
                                                  {"New name", "z-order changed"},
                                                  {"New name", "renamed"}}));
}

TEST(PresetChangeTest, AttachmentTexts) {
    auto saved = sampleCover("C");
    saved.attachmentInfo = AttachmentInfo{10, "org.example.Mail", "Mail"};
    auto current = saved;
    current.attachmentInfo.reset();
    EXPECT_EQ(changes({current}, {saved}), (Lines{{"C", "detached"}}));
    current.attachmentInfo = AttachmentInfo{10, "org.example.Mail", "Mail 2"};
    EXPECT_EQ(changes({current}, {saved}), (Lines{{"C", "attached to Mail 2"}}));
    current.attachmentInfo = AttachmentInfo{11, "org.example.Mail", std::nullopt};
    EXPECT_EQ(changes({current}, {saved}), (Lines{{"C", "attachment changed"}}));
}

TEST(PresetChangeTest, OpacityIsTruncatedAndOtherTextsFollowTheCurrentValue) {
    auto saved = sampleCover("C");
    saved.opacity = 0.5;
    saved.effectType = EffectType::glass;
    saved.isClickThroughEnabled = true;
    auto current = saved;
    current.effectType = EffectType::solid;
    current.isClickThroughEnabled = false;
    const std::pair<double, const char*> percentages[] = {
        {0.29, "28%"}, {0.57, "56%"}, {0.8, "80%"},
        {1.0, "100%"}, {0.0, "0%"},   {1e300, "9223372036854775807%"}};
    for (const auto& [opacity, text] : percentages) {
        current.opacity = opacity;
        EXPECT_EQ(changes({current}, {saved}), (Lines{{"C", std::string("opacity \u2192 ") + text},
                                                      {"C", "effect \u2192 solid"},
                                                      {"C", "click-through off"}}));
    }
}

TEST(PresetChangeTest, RepeatedIdentifiersDoNotBreakTheComparison) {
    const auto a = sampleCover("A");
    auto a2 = a;
    a2.name = "A2";
    EXPECT_EQ(changes({a, a2}, {a}), (Lines{{"A2", "renamed"}}));
    EXPECT_EQ(changes({a}, {a2, a}), (Lines{{"A", "renamed"}}));
}

}  // namespace
}  // namespace talvori

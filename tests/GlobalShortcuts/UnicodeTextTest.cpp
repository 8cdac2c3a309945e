#include <gtest/gtest.h>

#include "GlobalShortcuts/UnicodeText.hpp"

namespace GlobalShortcuts {
namespace {

TEST(UnicodeTextTest, SingleGraphemesIncludeCombinedSequences) {
    EXPECT_TRUE(UnicodeText::isSingleGrapheme("a"));
    EXPECT_TRUE(UnicodeText::isSingleGrapheme("ß"));
    EXPECT_TRUE(UnicodeText::isSingleGrapheme("e\u0301"));
    EXPECT_TRUE(UnicodeText::isSingleGrapheme("1\u20E3"));
    EXPECT_FALSE(UnicodeText::isSingleGrapheme(""));
    EXPECT_FALSE(UnicodeText::isSingleGrapheme("ab"));
    EXPECT_FALSE(UnicodeText::isSingleGrapheme("\xFF"));
}

TEST(UnicodeTextTest, CapitalisationIsTitleCase) {
    EXPECT_EQ(UnicodeText::capitalized("a"), "A");
    EXPECT_EQ(UnicodeText::capitalized("ß"), "Ss");
    EXPECT_EQ(UnicodeText::capitalized("SPACE"), "Space");
    EXPECT_EQ(UnicodeText::capitalized("page up"), "Page Up");
    EXPECT_EQ(UnicodeText::capitalized("1"), "1");
    EXPECT_EQ(UnicodeText::lowercased("Z"), "z");
}

TEST(UnicodeTextTest, ScalarTextRefusesSurrogatesAndValuesOutsideUnicode) {
    EXPECT_EQ(UnicodeText::scalarText(0xF704), "\uF704");
    EXPECT_EQ(UnicodeText::scalarText(0x10FFFF), "\U0010FFFF");
    EXPECT_EQ(UnicodeText::scalarText(0xD800), std::nullopt);
    EXPECT_EQ(UnicodeText::scalarText(0xDFFF), std::nullopt);
    EXPECT_EQ(UnicodeText::scalarText(0x110000), std::nullopt);
    EXPECT_EQ(UnicodeText::scalarText(-1), std::nullopt);
}

}  // namespace
}  // namespace GlobalShortcuts

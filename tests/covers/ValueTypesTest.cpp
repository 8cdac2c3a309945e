#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "covers/AttachmentInfo.hpp"
#include "covers/CodableColor.hpp"
#include "covers/CodableRect.hpp"
#include "covers/EffectType.hpp"
#include "covers/SnapEdge.hpp"
#include "covers/ZOrderMode.hpp"
#include "platform/core/JsonReader.hpp"

namespace talvori {
namespace {

template <class T>
std::optional<T> decode(std::string_view text) {
    const auto json = Json::parse(text);
    if (!json) return std::nullopt;
    return decodeJson<T>(*json);
}

std::string encode(const JsonValue& json) {
    return Json::dump(json).value_or("<not encodable>");
}

TEST(AttachmentInfoTest, AbsentTextsAreLeftOutAndNullReadsAsAbsent) {
    EXPECT_EQ(encode(AttachmentInfo{4242, {}, {}}.toJson()), R"({"targetPID":4242})");
    EXPECT_EQ(
        encode(AttachmentInfo{-7, "org.example.Editor", "Editor"}.toJson()),
        R"({"targetPID":-7,"targetBundleID":"org.example.Editor","targetWindowTitle":"Editor"})");
    EXPECT_EQ(encode(AttachmentInfo{1, std::nullopt, "Editor"}.toJson()),
              R"({"targetPID":1,"targetWindowTitle":"Editor"})");

    EXPECT_EQ(decode<AttachmentInfo>(R"({"targetPID": 12, "targetBundleID": null})"),
              (AttachmentInfo{12, {}, {}}));
    EXPECT_EQ(decode<AttachmentInfo>(R"({"targetWindowTitle": "T", "targetPID": 3.0, "x": [1]})"),
              (AttachmentInfo{3, std::nullopt, "T"}));
}

TEST(AttachmentInfoTest, APidThatIsMissingNonIntegralOrOutOfRangeFails) {
    for (const char* text :
         {R"({})", R"({"targetPID": null})", R"({"targetPID": 3.5})", R"({"targetPID": "12"})",
          R"({"targetPID": 2147483648})", R"({"targetPID": -2147483649})",
          R"({"targetPID": 1, "targetBundleID": 5})", R"([1])"}) {
        EXPECT_FALSE(decode<AttachmentInfo>(text)) << text;
    }
    EXPECT_EQ(decode<AttachmentInfo>(R"({"targetPID": -2147483648})")->targetPID, INT32_MIN);
}

TEST(AttachmentInfoTest, OptionalTextsAreEqualOnlyWhenBothAbsentOrBothEqual) {
    const AttachmentInfo titled{10, "org.example.Editor", "Editor"};
    AttachmentInfo untitled = titled;
    untitled.targetWindowTitle.reset();
    EXPECT_NE(titled, untitled);
    EXPECT_EQ(untitled, (AttachmentInfo{10, "org.example.Editor", std::nullopt}));
    EXPECT_NE(titled, (AttachmentInfo{10, "org.example.Editor", ""}));
}

TEST(CodableRectTest, CodesItsFourNumbersAndComparesExactly) {
    const CodableRect rect{100, 50.5, 400, 300};
    EXPECT_EQ(encode(rect.toJson()), R"({"x":100.0,"y":50.5,"width":400.0,"height":300.0})");
    EXPECT_EQ(decode<CodableRect>(R"({"height":300,"width":400,"y":50.5,"x":100})"), rect);
    EXPECT_NE(rect, (CodableRect{100.0001, 50.5, 400, 300}));
    EXPECT_EQ(CodableRect::fromRect(rect.rect()), rect);
}

TEST(CodableRectTest, AMissingKeyANonNumberOrANumberBeyondDoubleFails) {
    for (const char* text :
         {R"({"x":1,"y":2,"width":3})", R"({"x":1,"y":2,"width":3,"height":"4"})",
          R"({"x":1,"y":2,"width":3,"height":null})",
          R"({"x":1,"y":2,"width":3,"height":1e999})"}) {
        EXPECT_FALSE(decode<CodableRect>(text)) << text;
    }
}

TEST(CodableColorTest, CodesItsFourComponentsAndComparesExactly) {
    const CodableColor color{1, 0.5, 0, 0.25};
    EXPECT_EQ(encode(color.toJson()), R"({"red":1.0,"green":0.5,"blue":0.0,"alpha":0.25})");
    EXPECT_EQ(decode<CodableColor>(R"({"alpha":0.25,"blue":0,"green":0.5,"red":1})"), color);
    EXPECT_FALSE(decode<CodableColor>(R"({"red":1,"green":0.5,"blue":0})"));
    EXPECT_NE(color, (CodableColor{1, 0.5, 0, 0.2500001}));
}

TEST(RawTextEnumTest, CasesRawTextsHashesAndCoding) {
    EXPECT_EQ(EffectType::allCases(),
              (std::array<EffectType, 2>{EffectType::solid, EffectType::glass}));
    EXPECT_EQ(ZOrderMode::allCases(),
              (std::array<ZOrderMode, 2>{ZOrderMode::floating, ZOrderMode::smart}));
    EXPECT_EQ(SnapEdge::allCases(), (std::array<SnapEdge, 4>{SnapEdge::top, SnapEdge::right,
                                                             SnapEdge::bottom, SnapEdge::left}));
    EXPECT_EQ(EffectType(EffectType::glass).rawValue(), "glass");
    EXPECT_EQ(ZOrderMode(ZOrderMode::smart).rawValue(), "smart");
    EXPECT_EQ(std::hash<EffectType>{}(EffectType::solid), std::hash<std::string_view>{}("solid"));
    EXPECT_EQ(std::hash<SnapEdge>{}(SnapEdge::left), std::hash<std::string_view>{}("left"));

    EXPECT_EQ(encode(EffectType(EffectType::glass).toJson()), R"("glass")");
    EXPECT_EQ(decode<ZOrderMode>(R"("smart")"), ZOrderMode::smart);
    EXPECT_EQ(decode<EffectType>(R"("solid")"), EffectType::solid);
    for (const char* text : {R"("Solid")", R"("blur")", R"("")", R"(0)", R"(null)", R"({})"}) {
        EXPECT_FALSE(decode<EffectType>(text)) << text;
        EXPECT_FALSE(decode<ZOrderMode>(text)) << text;
    }
}

}  // namespace
}  // namespace talvori

#include <gtest/gtest.h>

#include "CoverSamples.hpp"
#include "covers/OverlayModel.hpp"
#include "platform/core/JsonReader.hpp"

namespace talvori {
namespace {

using testing::sampleCover;

constexpr const char* kCoverID = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

OverlayModel fixedCover() {
    OverlayModel cover = sampleCover("Notes");
    cover.id = *UUID::parse(kCoverID);
    return cover;
}

std::optional<OverlayModel> decodeCover(std::string_view text) {
    const auto json = Json::parse(text);
    return json ? OverlayModel::fromJson(*json) : std::nullopt;
}

TEST(OverlayModelTest, EncodesTheTenKeysCompactlyWithAnUpperCaseIdentifier) {
    EXPECT_EQ(Json::dump(fixedCover().toJson()),
              R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Notes",)"
              R"("frame":{"x":100.0,"y":200.0,"width":300.0,"height":150.0},)"
              R"("color":{"red":1.0,"green":0.5,"blue":0.0,"alpha":1.0},"opacity":0.8,)"
              R"("blurRadius":20.0,"effectType":"solid","isClickThroughEnabled":false,)"
              R"("zOrderMode":"floating"})");

    OverlayModel attached = fixedCover();
    attached.attachmentInfo = AttachmentInfo{501, {}, {}};
    const std::string text = *Json::dump(attached.toJson());
    EXPECT_NE(text.find(R"(,"attachmentInfo":{"targetPID":501}})"), std::string::npos) << text;
}

TEST(OverlayModelTest, DecodesInAnyKeyOrderWithWhitespaceEscapesAndUnknownKeys) {
    const auto decoded = decodeCover(R"({
        "zOrderMode" : "smart", "attachmentInfo": null, "futureKey": {"a": [1, 2]},
        "isClickThroughEnabled": true, "effectType": "glass", "blurRadius": 12,
        "opacity": 1, "color": {"alpha": 1, "blue": 0, "green": 0, "red": 1},
        "frame": {"x": -40, "y": 0, "width": 50, "height": 20},
        "name": "Caf\u00e9 \"A\"", "id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f" })");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->id.uuidString(), kCoverID);
    EXPECT_EQ(decoded->name, "Caf\xC3\xA9 \"A\"");
    EXPECT_EQ(decoded->effectType, EffectType::glass);
    EXPECT_EQ(decoded->zOrderMode, ZOrderMode::smart);
    EXPECT_TRUE(decoded->isClickThroughEnabled);
    EXPECT_EQ(decoded->frame, (CodableRect{-40, 0, 50, 20}));
    EXPECT_FALSE(decoded->attachmentInfo);
}

TEST(OverlayModelTest, EveryKeyButTheAttachmentIsRequiredAndStrict) {
    const JsonValue good = fixedCover().toJson();
    ASSERT_EQ(OverlayModel::fromJson(good), fixedCover());
    for (const auto& [key, value] : good.items()) {
        JsonValue missing = good;
        missing.erase(key);
        EXPECT_FALSE(OverlayModel::fromJson(missing)) << "without " << key;
        JsonValue null = good;
        null[key] = nullptr;
        EXPECT_FALSE(OverlayModel::fromJson(null)) << "null " << key;
    }
    const std::vector<std::pair<const char*, JsonValue>> badValues = {
        {"effectType", "blur"},
        {"zOrderMode", "Smart"},
        {"id", "E621E1F8"},
        {"opacity", "0.5"},
        {"blurRadius", true},
        {"isClickThroughEnabled", 1},
        {"frame", JsonValue::array()},
        {"name", 7},
    };
    for (const auto& [key, value] : badValues) {
        JsonValue bad = good;
        bad[key] = value;
        EXPECT_FALSE(OverlayModel::fromJson(bad)) << key;
    }
    std::string text = *Json::dump(good);
    text.replace(text.find("0.8"), 3, "1e400");
    EXPECT_FALSE(decodeCover(text)) << "a number beyond double";
}

TEST(OverlayModelTest, EqualityIsExactOverEveryField) {
    const OverlayModel cover = fixedCover();
    OverlayModel other = cover;
    EXPECT_EQ(cover, other);
    other.opacity = std::nextafter(cover.opacity, 1.0);
    EXPECT_NE(cover, other);
    other = cover;
    other.attachmentInfo = AttachmentInfo{1, {}, {}};
    EXPECT_NE(cover, other);
    other = cover;
    other.zOrderMode = ZOrderMode::smart;
    EXPECT_NE(cover, other);
    other = sampleCover("Notes");
    EXPECT_NE(cover, other) << "a different id";
}

}  // namespace
}  // namespace talvori

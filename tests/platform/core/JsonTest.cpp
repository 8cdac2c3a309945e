#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "platform/core/Base64.hpp"
#include "platform/core/DefaultsValue.hpp"
#include "platform/core/JsonReader.hpp"

namespace talvori {
namespace {

TEST(JsonTest, DoublesReadBackBitForBit) {
    std::mt19937_64 generator(7);
    std::vector<double> values{0.1,  1.0 / 3.0,   1e-300, 5e-324, 1.7976931348623157e308,
                               -0.0, 21.0 / 255.0};
    for (int i = 0; i < 2000; ++i) {
        const std::uint64_t bits = generator();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) values.push_back(value);
    }
    for (const double value : values) {
        const auto text = Json::dump(JsonValue::array({value}));
        ASSERT_TRUE(text);
        const auto back = Json::parse(*text);
        ASSERT_TRUE(back);
        const double read = (*back)[0].get<double>();
        EXPECT_EQ(std::memcmp(&read, &value, sizeof value), 0) << *text;
    }
}

TEST(JsonTest, NonFiniteNumbersAreNeverWritten) {
    EXPECT_FALSE(Json::dump(JsonValue{{"a", {1.0, std::nan("")}}}));
    EXPECT_FALSE(Json::dump(JsonValue(std::numeric_limits<double>::infinity())));
    EXPECT_EQ(Json::dump(JsonValue{{"a", 1.5}}), "{\"a\":1.5}");
}

TEST(JsonTest, BadTextReadsAsAbsent) {
    EXPECT_FALSE(Json::parse("{"));
    EXPECT_FALSE(Json::parse(""));
    EXPECT_FALSE(Json::parse("{\"a\":1} trailing"));
    EXPECT_FALSE(Json::parse("[NaN]"));
}

struct Sample {
    double x;
    std::int32_t pid;
    std::optional<std::string> title;
    static std::optional<Sample> fromJson(const JsonValue& json) {
        JsonReader reader(json);
        Sample sample{reader.required<double>("x"), reader.required<std::int32_t>("pid"),
                      reader.optional<std::string>("title")};
        if (!reader.ok()) return std::nullopt;
        return sample;
    }
};

// The reader builds documents its own way (appending members); what it builds must be what the
// library's own parser builds, member order and repeated keys included.
TEST(JsonTest, ParsingBuildsWhatTheLibraryBuilds) {
    for (const char* text : {
             R"({"b": 1, "a": [true, null, {"z": -2, "y": 1.5e300}], "c": {}})",
             R"({"k": 1, "j": 2, "k": {"x": [1]}, "k": "last"})",
             R"([[[]], {"\u00e9": "\ud83d\ude00"}, 18446744073709551615, -9223372036854775808])",
             R"("plain")",
         }) {
        const auto ours = Json::parse(text);
        ASSERT_TRUE(ours) << text;
        EXPECT_EQ(ours->dump(), JsonValue::parse(text).dump()) << text;
    }
    EXPECT_EQ(Json::parse(R"({"k": 1, "j": 2, "k": 3})")->dump(), R"({"k":3,"j":2})");
}

// Copying, comparing and writing a document recurse into it: a document nested deeper than any of
// ours must not be read at all, and one as deep as allowed must survive all three.
TEST(JsonTest, DocumentsNestedBeyondTheLimitAreNotRead) {
    const auto nested = [](std::size_t levels) {
        return std::string(levels, '[') + std::string(levels, ']');
    };
    const auto deepest = Json::parse(nested(Json::kMaximumNesting));
    ASSERT_TRUE(deepest);
    const JsonValue copy = *deepest;
    EXPECT_EQ(copy, *deepest);
    EXPECT_EQ(Json::dump(copy), nested(Json::kMaximumNesting));
    EXPECT_FALSE(Json::parse(nested(Json::kMaximumNesting + 1)));
    EXPECT_FALSE(Json::parse(std::string(20'000, '[') + std::string(20'000, ']')));
}

TEST(JsonTest, ReaderIsStrictAboutTypesAndLenientAboutAbsentOptionals) {
    auto decode = [](const char* text) { return decodeJson<Sample>(*Json::parse(text)); };
    EXPECT_TRUE(decode(R"({"x":1,"pid":7})"));
    EXPECT_FALSE(decode(R"({"x":1,"pid":7})")->title);
    EXPECT_FALSE(decode(R"({"x":1,"pid":7,"title":null})")->title);
    EXPECT_EQ(decode(R"({"x":1,"pid":7,"title":"Notes"})")->title, "Notes");
    EXPECT_FALSE(decode(R"({"x":1})"));
    EXPECT_FALSE(decode(R"({"x":"1","pid":7})"));
    EXPECT_FALSE(decode(R"({"x":1,"pid":7.5})"));
    EXPECT_FALSE(decode(R"({"x":1,"pid":4294967296})"));
    EXPECT_FALSE(decode(R"({"x":1,"pid":7,"title":3})"));
    EXPECT_FALSE(decode(R"([1,7])"));
    EXPECT_EQ(decodeJson<std::vector<Sample>>(*Json::parse(R"([{"x":1,"pid":2},{"x":3,"pid":4}])"))
                  ->size(),
              2u);
    EXPECT_FALSE(decodeJson<std::vector<Sample>>(*Json::parse(R"([{"x":1,"pid":2},{}])")));
    EXPECT_EQ(decodeJson<std::uint32_t>(JsonValue(-1)), std::nullopt);
    EXPECT_EQ(decodeJson<UUID>(JsonValue("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"))->uuidString(),
              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
}

TEST(JsonTest, OptionalMembersAreLeftOutNotNull) {
    JsonValue object = JsonValue::object();
    Json::setOptional(object, "targetBundleID", std::optional<std::string>{});
    Json::setOptional(object, "targetWindowTitle", std::optional<std::string>{"Notes"});
    EXPECT_EQ(Json::dump(object), R"({"targetWindowTitle":"Notes"})");
}

TEST(JsonTest, AnObjectMadeWithRoomKeepsItsMembersInInsertionOrder) {
    JsonValue object = Json::object(3);
    EXPECT_TRUE(object.is_object());
    EXPECT_EQ(Json::dump(object), "{}");
    object["zeta"] = 1;
    object["alpha"] = "two";
    object["isClickThroughEnabled"] = false;
    object["alpha"] = 2;
    EXPECT_EQ(Json::dump(object), R"({"zeta":1,"alpha":2,"isClickThroughEnabled":false})");
}

TEST(Base64Test, RoundTripsAndRefusesMalformedText) {
    for (std::size_t size = 0; size < 10; ++size) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 97 + 200);
        EXPECT_EQ(Base64::decode(Base64::encode(bytes)), bytes);
    }
    EXPECT_EQ(Base64::encode({'M', 'a'}), "TWE=");
    for (const char* bad : {"TWE", "TW=E", "T===", "TWE=TWE=", "TW\nE", "TWE*"}) {
        EXPECT_FALSE(Base64::decode(bad)) << bad;
    }
}

TEST(DefaultsValueTest, FileFormKeepsEveryTypeApart) {
    const DefaultsValue value(DefaultsValue::Dictionary{
        {"bool", false},
        {"integer", std::int64_t{-4}},
        {"double", 2.0},
        {"string", "data"},
        {"data", Data{0, 255, 10}},
        {"array", DefaultsValue::Array{1, "two"}},
        {"nested", DefaultsValue::Dictionary{{"data", "not a blob"}}},
    });
    const auto back = DefaultsValue::fromJson(*Json::parse(*Json::dump(value.toJson())));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, value);
    EXPECT_FALSE(DefaultsValue::fromJson(*Json::parse(R"({"data":"@@"})")));
    EXPECT_FALSE(DefaultsValue::fromJson(*Json::parse(R"({"unknown":1})")));
    EXPECT_FALSE(DefaultsValue::fromJson(*Json::parse("null")));
}

}  // namespace
}  // namespace talvori

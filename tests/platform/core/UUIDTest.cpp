#include <gtest/gtest.h>

#include <set>

#include "platform/core/JsonReader.hpp"
#include "platform/core/UUID.hpp"

namespace talvori {
namespace {

TEST(UUIDTest, RandomIdentifiersAreVersionFourUpperCaseAndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const auto text = UUID::random().uuidString();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        for (char c : text) EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(UUIDTest, ParsesEitherCaseAndRefusesEverythingElse) {
    const auto upper = UUID::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const auto lower = UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper, lower);
    EXPECT_EQ(lower->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    for (const char* bad :
         {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
          "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF", "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",
          "E621E1F8-C36C-495A-93FC_0C247A3E6E5F", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5}"}) {
        EXPECT_FALSE(UUID::parse(bad)) << bad;
    }
}

TEST(UUIDTest, TheDefaultIdentifierIsNilAndRecordsHoldingOneDecodeStrictly) {
    EXPECT_EQ(UUID().uuidString(), "00000000-0000-0000-0000-000000000000");
    EXPECT_NE(UUID(), UUID::random());
    const auto object =
        Json::parse(R"({"id": "not-an-id", "ok": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})");
    JsonReader reader(*object);
    EXPECT_EQ(reader.required<UUID>("ok").uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_TRUE(reader.ok());
    EXPECT_EQ(reader.required<UUID>("id"), UUID());
    EXPECT_FALSE(reader.ok());
}

}  // namespace
}  // namespace talvori

#include <gtest/gtest.h>

#include <cctype>

#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

using testing::PlatformTest;

class BundleTest : public PlatformTest {};

TEST_F(BundleTest, TheProgramKnowsItsVersionBuildAndWhereItsUpdatesAre) {
    const Bundle& bundle = platform().mainBundle();
    EXPECT_EQ(bundle.bundleIdentifier(), "org.talvori.Talvori");
    EXPECT_EQ(bundle.string(Bundle::kNameKey), "Talvori");
    const std::string version = bundle.shortVersion().value_or("");
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
    // Builds are compared as numbers when updates are found.
    const auto build = bundle.version();
    ASSERT_TRUE(build && !build->empty());
    EXPECT_TRUE(std::all_of(build->begin(), build->end(), ::isdigit)) << *build;
    EXPECT_GT(std::stol(*build), 0);
    EXPECT_TRUE(bundle.string(Bundle::kFeedURLKey).value_or("").starts_with("https://"));
    EXPECT_TRUE(bundle.string(Bundle::kPublicKeyKey).has_value());
}

TEST_F(BundleTest, MissingAndNonStringValuesReadAsAbsentAndTestsCanReplaceThem) {
    Bundle bundle = Bundle::program();
    bundle.setValue(Bundle::kVersionKey, std::int64_t{42});
    bundle.setValue(Bundle::kShortVersionKey, std::nullopt);
    platform().setMainBundle(bundle);
    EXPECT_EQ(platform().mainBundle().version(), std::nullopt);
    ASSERT_NE(platform().mainBundle().objectForInfoDictionaryKey(Bundle::kVersionKey), nullptr);
    EXPECT_EQ(platform().mainBundle().shortVersion(), std::nullopt);
    EXPECT_EQ(platform().mainBundle().objectForInfoDictionaryKey(Bundle::kShortVersionKey),
              nullptr);

    platform().setMainBundle(Bundle());
    EXPECT_FALSE(platform().mainBundle().infoDictionary());
    EXPECT_EQ(platform().mainBundle().bundleIdentifier(), std::nullopt);
}

}  // namespace
}  // namespace talvori

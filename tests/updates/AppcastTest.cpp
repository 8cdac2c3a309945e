#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "AppcastFixtures.hpp"
#include "updates/Appcast.hpp"
#include "updates/SignatureVerifier.hpp"
#include "updates/VersionComparator.hpp"

namespace talvori::updates {
namespace {

using testing::FeedItem;

TEST(VersionComparatorTest, OrdersNumbersByValueAndPreReleasesBeforeReleases) {
    // Oldest first: every pair must come out in this order.
    const std::vector<std::string> ascending = {
        "",
        "0.9",
        "1.0a",
        "1.0b2",
        "1.0b9",
        "1.0b10",
        "1.0 beta",
        "1.0",
        "1.0.1",
        "1.2a",
        "1.2b",
        "1.9",
        "1.10",
        "2.0 beta",
        "2.0",
        "49",
        "50",
        "99999999999999999999998",
        "99999999999999999999999",
    };
    for (std::size_t older = 0; older < ascending.size(); ++older) {
        for (std::size_t newer = older + 1; newer < ascending.size(); ++newer) {
            EXPECT_TRUE(VersionComparator::compare(ascending[older], ascending[newer]) < 0)
                << ascending[older] << " < " << ascending[newer];
            EXPECT_TRUE(VersionComparator::compare(ascending[newer], ascending[older]) > 0)
                << ascending[newer] << " > " << ascending[older];
        }
    }
    // Spellings of one version: leading zeros, and separators that only part the runs.
    for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{{"42", "0042"},
                                                                               {"1.2.3", "1.2.3"},
                                                                               {"1.0", "1.0-"},
                                                                               {"1.0", "1.0."},
                                                                               {".", "-"},
                                                                               {"", "."},
                                                                               {"1.2", "1-2"}}) {
        EXPECT_TRUE(VersionComparator::compare(a, b) == 0) << a << " == " << b;
    }
}

// Sorting with a comparison that is not a strict weak ordering is undefined: trailing and mixed
// separators once made cycles (1.0.b < 1.0 == 1.0- < 1.0.b).
TEST(VersionComparatorTest, IsAStrictWeakOrderingOverAnyText) {
    std::mt19937 random(34);
    const std::string alphabet = "019ab.- ";
    auto version = [&] {
        std::string text(random() % 6, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        return text;
    };
    auto less = [](const std::string& a, const std::string& b) {
        return VersionComparator::compare(a, b) < 0;
    };
    auto same = [](const std::string& a, const std::string& b) {
        return VersionComparator::compare(a, b) == 0;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string a = version();
        const std::string b = version();
        const std::string c = version();
        ASSERT_FALSE(less(a, a)) << a;
        ASSERT_FALSE(less(a, b) && less(b, a)) << a << " / " << b;
        ASSERT_TRUE(!less(a, b) || !less(b, c) || less(a, c)) << a << " / " << b << " / " << c;
        ASSERT_TRUE(!same(a, b) || !same(b, c) || same(a, c)) << a << " / " << b << " / " << c;
    }
    std::vector<std::string> cycle = {"1.0.b", "1.0", "1.0-", "1.0.b", "1.0-", "1.0"};
    std::sort(cycle.begin(), cycle.end(), less);
    EXPECT_TRUE(std::is_sorted(cycle.begin(), cycle.end(), less));
    EXPECT_EQ(cycle.front(), "1.0.b");
}

TEST(AppcastTest, ReadsItemsWithTheirUpdateElementsAndCustomProperties) {
    const auto xml = testing::appcastXML({
        {"50", "1.3", "https://example.test/Talvori-1.3.tar.gz", "c2ln", 1234,
         "<talvori:summary>Faster covers.</talvori:summary>"
         "<u:releaseNotesLink>https://example.test/notes/1.3</u:releaseNotesLink>"
         "<u:minimumSystemVersion>5.10</u:minimumSystemVersion>"
         "<talvori:extra><talvori:a>1</talvori:a></talvori:extra>"},
        {"49", "1.2.9", "https://example.test/Talvori-1.2.9.tar.gz", "", 10, ""},
    });
    const auto appcast = Appcast::parse(xml);
    ASSERT_TRUE(appcast);
    ASSERT_EQ(appcast->items.size(), 2u);
    const AppcastItem& item = appcast->items[0];
    EXPECT_EQ(item.versionString(), "50");
    EXPECT_EQ(item.displayVersionString(), "1.3");
    EXPECT_EQ(item.releaseNotesURL(), "https://example.test/notes/1.3");
    EXPECT_EQ(item.minimumSystemVersion, "5.10");
    ASSERT_TRUE(item.enclosure);
    EXPECT_EQ(item.enclosure->url, "https://example.test/Talvori-1.3.tar.gz");
    EXPECT_EQ(item.enclosure->length, 1234u);
    EXPECT_EQ(item.enclosure->edSignature, "c2ln");
    EXPECT_EQ(item.propertiesDictionary().at("talvori:summary"), DefaultsValue("Faster covers."));
    // An element with children is no string, so callers that expect text find none.
    EXPECT_EQ(item.propertiesDictionary().at("talvori:extra").get<std::string>(), nullptr);
}

TEST(AppcastTest, RefusesWhatIsNoAppcastAndSkipsUnusableItems) {
    EXPECT_FALSE(Appcast::parse(""));
    EXPECT_FALSE(Appcast::parse("<html><body>Sign in to the network</body></html>"));
    EXPECT_FALSE(Appcast::parse("<rss><channel><item>"));
    EXPECT_FALSE(Appcast::parse(std::string(Appcast::kMaximumBytes + 1, ' ')));
    // An entity that would expand a billion times is not expanded.
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
        "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
        "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
        "<rss><channel><item><title>&g;</title></item></channel></rss>";
    const auto parsed = Appcast::parse(laughs);
    if (parsed) {
        EXPECT_TRUE(parsed->items.empty());
    }

    // No build, or no file to download: left out.
    const auto appcast = Appcast::parse(
        "<rss xmlns:u=\"urn:talvori:updates:appcast\"><channel>"
        "<item><enclosure url=\"https://example.test/a\"/></item>"
        "<item><u:version>7</u:version></item>"
        "<item><enclosure url=\"https://example.test/b\" length=\"-3\" u:version=\"8\"/></item>"
        "</channel></rss>");
    ASSERT_TRUE(appcast);
    ASSERT_EQ(appcast->items.size(), 1u);
    EXPECT_EQ(appcast->items[0].versionString(), "8");
    EXPECT_FALSE(appcast->items[0].enclosure->length);
}

TEST(AppcastTest, BestItemIsTheNewestRunnableBuildNotSkipped) {
    Appcast appcast;
    auto add = [&](std::string build, std::optional<std::string> minimumSystem = std::nullopt) {
        AppcastItem item;
        item.version = std::move(build);
        item.minimumSystemVersion = std::move(minimumSystem);
        item.enclosure = AppcastItem::Enclosure{"https://example.test/file", std::nullopt, ""};
        appcast.items.push_back(item);
    };
    add("48");
    add("52", "7.0");
    add("51");
    add("1.10");
    EXPECT_EQ(appcast.bestItem("49", "6.1", "")->versionString(), "51");
    EXPECT_EQ(appcast.bestItem("49", "7.0", "")->versionString(), "52");
    EXPECT_EQ(appcast.bestItem("49", "", "")->versionString(), "52");
    EXPECT_FALSE(appcast.bestItem("49", "6.1", "51"));
    EXPECT_EQ(appcast.bestItem("1.9", "7.0", "52")->versionString(), "51");
    EXPECT_FALSE(appcast.bestItem("52", "7.0", ""));
}

TEST(SignatureVerifierTest, AcceptsOnlyTheSignatureOfTheKeysOwner) {
    const testing::SigningKey key;
    const testing::SigningKey stranger;
    const auto verifier = SignatureVerifier::make(key.publicKeyBase64());
    ASSERT_TRUE(verifier);
    const std::string message = "the update";
    const std::vector<unsigned char> bytes(message.begin(), message.end());
    EXPECT_TRUE(verifier->verify(bytes, key.sign(message)));
    EXPECT_FALSE(verifier->verify(bytes, stranger.sign(message)));
    EXPECT_FALSE(verifier->verify(bytes, key.sign("another update")));
    EXPECT_FALSE(verifier->verify(bytes, ""));
    EXPECT_FALSE(verifier->verify(bytes, "bm90IGEgc2lnbmF0dXJl"));
    EXPECT_FALSE(verifier->verifyFile("/nonexistent/file", key.sign(message), 100));

    // A file: up to the size it may have, and never through a link.
    const auto folder = std::filesystem::temp_directory_path() /
                        ("talvori-signature-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "update") << message;
    std::filesystem::create_symlink(folder / "update", folder / "link");
    EXPECT_TRUE(verifier->verifyFile(folder / "update", key.sign(message), message.size()));
    EXPECT_FALSE(verifier->verifyFile(folder / "update", key.sign(message), message.size() - 1));
    EXPECT_FALSE(verifier->verifyFile(folder / "link", key.sign(message), message.size()));
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(SignatureVerifier::make("c2hvcnQ="));
    EXPECT_FALSE(SignatureVerifier::make("not base64"));
}

}  // namespace
}  // namespace talvori::updates

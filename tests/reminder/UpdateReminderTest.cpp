#include <gtest/gtest.h>

#include "platform/core/UserDefaults.hpp"
#include "reminder/UpdateReminder.hpp"
#include "support/LoopbackServer.hpp"
#include "support/PlatformTest.hpp"
#include "updates/AppcastItem.hpp"
#include "updates/CurlTransport.hpp"
#include "updates/Updater.hpp"

namespace talvori {
namespace {

using PendingUpdate = UpdateReminder::PendingUpdate;

class UpdateReminderTest : public testing::PlatformTest {
  protected:
    // One launch of the program: a reminder for the running build over the kept store.
    std::shared_ptr<UpdateReminder> launch(std::string build = "49",
                                           std::string shortVersion = "1.2.4") {
        return UpdateReminder::make(defaults, std::move(build), std::move(shortVersion), transport);
    }
    void storePending(const std::string& json) {
        defaults->set(UpdateReminder::kPendingUpdateKey, Data(json.begin(), json.end()));
    }
    std::optional<std::string> storedPending() const {
        const auto data = defaults->data(UpdateReminder::kPendingUpdateKey);
        if (!data) return std::nullopt;
        return std::string(data->begin(), data->end());
    }
    static updates::AppcastItem item(std::string build, std::optional<std::string> notes = {},
                                     std::optional<DefaultsValue> summary = {}) {
        updates::AppcastItem item;
        item.version = std::move(build);
        item.shortVersion = "1.3";
        item.releaseNotesLink = std::move(notes);
        if (summary) item.properties.emplace(UpdateReminder::kSummaryProperty, *summary);
        return item;
    }

    std::shared_ptr<UserDefaults> defaults = UserDefaults::inMemory();
    std::shared_ptr<updates::CurlTransport> transport =
        updates::CurlTransport::make(platform().sharedRunLoop());
    std::shared_ptr<updates::Updater> anUpdater = updates::Updater::make({}, nullptr, {});
};

TEST_F(UpdateReminderTest, PendingUpdateIsStoredAsCompactJsonAndRestoredWhileNewer) {
    auto first = launch();
    first->setPendingUpdate(PendingUpdate{"1.3", "50", "Faster covers."});
    EXPECT_EQ(storedPending(), R"({"version":"1.3","build":"50","summary":"Faster covers."})");
    first->setPendingUpdate(PendingUpdate{"1.3", "50", std::nullopt});
    EXPECT_EQ(storedPending(), R"({"version":"1.3","build":"50"})");

    EXPECT_EQ(launch("49")->pendingUpdate().peek(), (PendingUpdate{"1.3", "50", std::nullopt}));
    // A launch of the build itself, or a newer one, drops it for good.
    EXPECT_FALSE(launch("50")->pendingUpdate().peek());
    EXPECT_FALSE(storedPending());
    storePending(R"({"version":"1.3","build":"50"})");
    EXPECT_FALSE(launch("51")->pendingUpdate().peek());
    EXPECT_FALSE(storedPending());
}

TEST_F(UpdateReminderTest, UnreadableRecordsAreRemovedAndOtherKeysIgnored) {
    storePending(R"({"version":"1.3","build":"50","summary":null,"extra":1})");
    EXPECT_EQ(launch()->pendingUpdate().peek(), (PendingUpdate{"1.3", "50", std::nullopt}));
    for (const char* bad : {R"({"version":"1.3","build":"50","summary":7})",
                            R"({"version":"1.3","build":50})", R"({"build":"50"})", "[]", "{"}) {
        storePending(bad);
        EXPECT_FALSE(launch()->pendingUpdate().peek()) << bad;
        EXPECT_FALSE(storedPending()) << bad;
    }
    defaults->set(UpdateReminder::kPendingUpdateKey, R"({"version":"1.3","build":"50"})");
    EXPECT_FALSE(launch()->pendingUpdate().peek());
    EXPECT_FALSE(defaults->object(UpdateReminder::kPendingUpdateKey));
}

TEST_F(UpdateReminderTest, BuildsCompareAsIntegersOrElseNumerically) {
    EXPECT_TRUE(UpdateReminder::isNewerBuild("1.10", "1.9"));
    EXPECT_TRUE(UpdateReminder::isNewerBuild("1.2b", "1.2a"));
    EXPECT_TRUE(UpdateReminder::isNewerBuild("50", "0"));
    EXPECT_TRUE(UpdateReminder::isNewerBuild("1", ""));
    EXPECT_TRUE(UpdateReminder::isNewerBuild("+5", "-7"));
    EXPECT_FALSE(UpdateReminder::isNewerBuild("42", "0042"));
    EXPECT_FALSE(UpdateReminder::isNewerBuild("0042", "42"));
    EXPECT_FALSE(UpdateReminder::isNewerBuild("50", "50"));
    EXPECT_FALSE(UpdateReminder::isNewerBuild("", ""));
    // Beyond 64 bits: compared as text, by the digits' value.
    EXPECT_TRUE(UpdateReminder::isNewerBuild("99999999999999999999", "9223372036854775807"));
}

TEST_F(UpdateReminderTest, WhatsNewCardIsDueAfterAVersionChangeWithATableEntry) {
    // A new user gets no card; the same version again gets none.
    launch()->recordLaunch(false);
    EXPECT_FALSE(launch()->whatsNewVersion().peek());
    EXPECT_EQ(defaults->string(UpdateReminder::kLastLaunchedVersionKey), "1.2.4");

    // An existing user who updates from a version that kept no record.
    defaults->removeObject(UpdateReminder::kLastLaunchedVersionKey);
    auto upgraded = launch();
    upgraded->recordLaunch(true);
    EXPECT_EQ(upgraded->whatsNewVersion().peek(), "1.2.4");
    EXPECT_EQ(upgraded->whatsNewBullets()->at(0), "Record a shortcut by pressing its keys.");
    EXPECT_EQ(upgraded->releaseNotesURL(), "https://talvori.org/changelog/#v1.2.4");
    EXPECT_EQ(launch()->whatsNewVersion().peek(), "1.2.4");

    // Then a version the table does not list: no card, but the version is recorded.
    auto unlisted = launch("60", "1.5");
    unlisted->recordLaunch(true);
    EXPECT_FALSE(unlisted->whatsNewVersion().peek());
    EXPECT_EQ(defaults->string(UpdateReminder::kLastLaunchedVersionKey), "1.5");
    EXPECT_EQ(defaults->string(UpdateReminder::kWhatsNewVersionKey), "1.2.4");

    // A downgrade to a listed version shows its card again.
    auto downgraded = launch("40", "1.2.3");
    downgraded->recordLaunch(true);
    EXPECT_EQ(downgraded->whatsNewBullets()->at(2),
              "This card shows what's new after each update.");

    // While an update is pending the row replaces the card; a skip brings it back.
    downgraded->setPendingUpdate(PendingUpdate{"1.3", "50", std::nullopt});
    EXPECT_FALSE(downgraded->whatsNewBullets());
    downgraded->userDidMakeChoice(*anUpdater, updates::UserUpdateChoice::skip, item("50"), {});
    EXPECT_TRUE(downgraded->whatsNewBullets());
    EXPECT_FALSE(storedPending());
}

TEST_F(UpdateReminderTest, CalloutIsDueOncePerBuild) {
    auto reminder = launch();
    EXPECT_FALSE(reminder->shouldShowCallout());
    reminder->setPendingUpdate(PendingUpdate{"1.3", "50", std::nullopt});
    EXPECT_TRUE(reminder->shouldShowCallout());
    reminder->markCalloutShown();
    EXPECT_FALSE(reminder->shouldShowCallout());
    EXPECT_FALSE(launch()->shouldShowCallout());
    reminder->setPendingUpdate(PendingUpdate{"1.4", "51", std::nullopt});
    EXPECT_TRUE(reminder->shouldShowCallout());
}

TEST_F(UpdateReminderTest, SummaryCleaningDecodesEntitiesInOrderAndCollapsesSpace) {
    EXPECT_EQ(UpdateReminder::plainSummary("&amp;lt;"), "<");
    EXPECT_EQ(UpdateReminder::plainSummary("<b>Faster</b>  covers<br/>\nand&nbsp;more"),
              "Faster covers and more");
    EXPECT_EQ(UpdateReminder::plainSummary("It&rsquo;s &quot;here&quot; &#39;now&#39;"),
              "It\u2019s \"here\" 'now'");
    EXPECT_FALSE(UpdateReminder::plainSummary("<p><br/></p>  "));
    EXPECT_EQ(UpdateReminder::plainSummary("a <> b < c"), "a <> b < c");
}

TEST_F(UpdateReminderTest, FirstElementTextMatchesWholeTagNamesOutsideScripts) {
    const std::string page =
        "<html><head><link rel=\"stylesheet\" href=\"a.css\"><title>Notes</title>"
        "<script>var s = '<li>not this</li>';</script><style>p { color: red }</style></head>"
        "<body><pre>code</pre><!-- <li>commented</li> --><nav><a href=/>Home</a></nav>"
        "<P class=\"lead\">Covers  follow <b>windows</b>.</P><LI>Faster &amp; calmer.</LI>"
        "</body></html>";
    EXPECT_EQ(UpdateReminder::firstElementText(page), "Faster & calmer.");
    EXPECT_EQ(
        UpdateReminder::firstElementText("<ul><li> <br> </li><li>second</li></ul><p>para</p>"),
        "para");
    EXPECT_EQ(UpdateReminder::firstElementText("<pre>x</pre><param><p>Only paragraph</p>"),
              "Only paragraph");
    EXPECT_FALSE(UpdateReminder::firstElementText("<li>no end <p>nor here"));
    EXPECT_FALSE(UpdateReminder::firstElementText("<link><path/><picture></picture>"));
}

class UpdateReminderFetchTest : public UpdateReminderTest {
  protected:
    UpdateReminderFetchTest() {
        reminder->onUpdateFound = [this] { ++foundCalls; };
        server.serve("/notes/50", {200, "<ul><li>Covers follow windows.</li></ul>"});
    }
    bool settle(int calls) {
        return testing::pumpNetworkUntil(*transport, [&] { return foundCalls >= calls; });
    }

    testing::LoopbackServer server;
    std::shared_ptr<UpdateReminder> reminder = launch();
    int foundCalls = 0;
};

TEST_F(UpdateReminderFetchTest, AFoundUpdateBecomesPendingAndGainsTheFetchedSummary) {
    reminder->handleFoundUpdate(item("49"));
    reminder->handleFoundUpdate(item("48"));
    runUntilIdle();
    EXPECT_FALSE(reminder->pendingUpdate().peek());

    reminder->handleFoundUpdate(item("50", server.url("/notes/50")));
    EXPECT_EQ(reminder->pendingUpdate().peek(), (PendingUpdate{"1.3", "50", std::nullopt}));
    EXPECT_EQ(foundCalls, 0);
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(reminder->pendingUpdate().peek()->summary, "Covers follow windows.");
    EXPECT_EQ(storedPending(),
              R"({"version":"1.3","build":"50","summary":"Covers follow windows."})");

    // Reported again: not rewritten, but announced again.
    const auto writes = defaults->writeCount();
    reminder->handleFoundUpdate(item("50", server.url("/notes/50")));
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(defaults->writeCount(), writes);
}

TEST_F(UpdateReminderFetchTest, ErrorPagesForeignAddressesAndHugePagesGiveNoSummary) {
    server.serve("/missing", {404, "<html><body><p>Page not found</p></body></html>"});
    server.serve(
        "/huge",
        {200, "<p>" + std::string(UpdateReminder::kReleaseNotesMaximumBytes, 'x') + "</p>"});
    server.serve("/latin1", {200, "<li>caf\xe9</li>"});
    int expected = 0;
    for (const std::string& notes : {server.url("/missing"), std::string("file:///etc/hostname"),
                                     server.url("/huge"), server.url("/latin1")}) {
        reminder->handleFoundUpdate(item(std::to_string(50 + expected), notes));
        ASSERT_TRUE(settle(++expected)) << notes;
        EXPECT_FALSE(reminder->pendingUpdate().peek()->summary) << notes;
    }
}

TEST_F(UpdateReminderFetchTest, ASlowPageTimesOutAfterTenSecondsAndStillAnnounces) {
    server.hang("/slow");
    reminder->handleFoundUpdate(item("50", server.url("/slow")));
    testing::pumpNetworkUntil(*transport, [&] { return server.requestCount("/slow") == 1; });
    advance(9.9);
    EXPECT_EQ(foundCalls, 0);
    advance(0.1);
    runUntilIdle();
    EXPECT_EQ(foundCalls, 1);
    EXPECT_FALSE(reminder->pendingUpdate().peek()->summary);
}

TEST_F(UpdateReminderFetchTest, AStaleFetchNeverReplacesTheFeedsSummary) {
    server.hang("/slow");
    reminder->handleFoundUpdate(item("50", server.url("/slow")));
    testing::pumpNetworkUntil(*transport, [&] { return server.requestCount("/slow") == 1; });
    reminder->handleFoundUpdate(item("50", std::nullopt, DefaultsValue("From the <b>feed</b>.")));
    runUntilIdle();
    EXPECT_EQ(reminder->pendingUpdate().peek()->summary, "From the feed.");
    EXPECT_EQ(foundCalls, 1);
    // The old fetch ends (here by its time-out) after the feed's summary was stored.
    server.serve("/slow", {200, "<li>Old page text</li>"});
    advance(10);
    EXPECT_EQ(foundCalls, 2);
    EXPECT_EQ(reminder->pendingUpdate().peek()->summary, "From the feed.");

    // A non-string property counts as no summary.
    reminder->handleFoundUpdate(item("51", std::nullopt, DefaultsValue(std::int64_t{5})));
    runUntilIdle();
    EXPECT_FALSE(reminder->pendingUpdate().peek()->summary);
}

TEST_F(UpdateReminderFetchTest, ASkipDuringTheFetchStoresAndAnnouncesNothing) {
    server.hang("/slow");
    reminder->handleFoundUpdate(item("50", server.url("/slow")));
    testing::pumpNetworkUntil(*transport, [&] { return server.requestCount("/slow") == 1; });
    reminder->userDidMakeChoice(*anUpdater, updates::UserUpdateChoice::dismiss, item("50"), {});
    EXPECT_TRUE(reminder->pendingUpdate().peek());
    reminder->userDidMakeChoice(*anUpdater, updates::UserUpdateChoice::skip, item("49"), {});
    EXPECT_TRUE(reminder->pendingUpdate().peek());
    reminder->userDidMakeChoice(*anUpdater, updates::UserUpdateChoice::skip, item("50"), {});
    EXPECT_FALSE(reminder->pendingUpdate().peek());
    advance(10);
    EXPECT_EQ(foundCalls, 0);
    EXPECT_FALSE(storedPending());
}

}  // namespace
}  // namespace talvori

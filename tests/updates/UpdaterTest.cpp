#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AppcastFixtures.hpp"
#include "RecordingUserDriver.hpp"
#include "support/LoopbackServer.hpp"
#include "support/SimDesktopTest.hpp"
#include "updates/CurlTransport.hpp"
#include "updates/Updater.hpp"
#include "updates/UpdaterDelegate.hpp"

namespace talvori::updates {
namespace {

namespace fs = std::filesystem;

struct RecordingDelegate : UpdaterDelegate {
    std::vector<std::pair<UserUpdateChoice, std::string>> choices;
    void userDidMakeChoice(Updater&, UserUpdateChoice choice, const AppcastItem& item,
                           const UserUpdateState&) override {
        choices.emplace_back(choice, item.versionString());
    }
};

class UpdaterTest : public testing::SimDesktopTest {
  protected:
    UpdaterTest() {
        fs::create_directories(downloads);
        server.serve("/Talvori-1.3.tar.gz", {200, payload, "application/octet-stream"});
        serveFeed(key.sign(payload));
    }
    ~UpdaterTest() override { fs::remove_all(downloads); }

    void serveFeed(const std::string& signature, std::size_t length = 0) {
        server.serve("/appcast.xml", {200,
                                      testing::appcastXML({
                                          {"48", "1.2.8", server.url("/old.tar.gz"), "", 1, ""},
                                          {"50", "1.3", server.url("/Talvori-1.3.tar.gz"),
                                           signature, length ? length : payload.size(), ""},
                                      }),
                                      "application/rss+xml"});
    }
    std::shared_ptr<Updater> makeUpdater(std::string feed = "") {
        HostBundle host{"Talvori",
                        "49",
                        "1.2.9",
                        feed.empty() ? server.url("/appcast.xml") : feed,
                        key.publicKeyBase64(),
                        ""};
        auto updater = Updater::make(host, driver, delegate, transport);
        updater->setDownloadDirectory(downloads.string());
        return updater;
    }
    bool waitFor(std::size_t shownCount) {
        return testing::pumpNetworkUntil(*transport,
                                         [&] { return driver->shown.size() >= shownCount; });
    }
    std::vector<std::string> downloadedFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(downloads)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    testing::LoopbackServer server;
    std::shared_ptr<CurlTransport> transport = CurlTransport::make(platform().sharedRunLoop());
    testing::SigningKey key;
    std::string payload = "an update archive";
    fs::path downloads =
        fs::temp_directory_path() / ("talvori-downloads-" + std::to_string(::getpid()));
    std::shared_ptr<testing::RecordingUserDriver> driver =
        std::make_shared<testing::RecordingUserDriver>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(UpdaterTest, StartRefusesAFeedOrKeyItCannotUse) {
    UpdateError error;
    EXPECT_FALSE(makeUpdater("file:///etc/appcast.xml")->start(&error));
    EXPECT_EQ(error.code, UpdateError::kInvalidConfiguration);
    auto noKey = Updater::make({"Talvori", "49", "1.2.9", server.url("/appcast.xml"), "", ""},
                               driver, delegate, transport);
    EXPECT_FALSE(noKey->start(&error));
    EXPECT_FALSE(noKey->canCheckForUpdates().peek());
    noKey->checkForUpdates();
    EXPECT_TRUE(driver->shown.empty());
}

TEST_F(UpdaterTest, ScheduledChecksRunAfterLaunchThenDailyWithOnlyTheirTimerAwake) {
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->start());
    EXPECT_EQ(updater->nextScheduledCheckIn(), Updater::kLaunchCheckDelay);
    advance(Updater::kLaunchCheckDelay - 1);
    EXPECT_EQ(server.requestCount("/appcast.xml"), 0);
    advance(1);
    EXPECT_TRUE(updater->sessionInProgress().peek());
    ASSERT_TRUE(waitFor(1));
    EXPECT_EQ(driver->shown, std::vector<std::string>{"found 50"});
    EXPECT_FALSE(driver->foundUserInitiated.at(0));
    driver->reply(UserUpdateChoice::dismiss);
    EXPECT_FALSE(updater->sessionInProgress().peek());
    EXPECT_EQ(updater->nextScheduledCheckIn(), Updater::kCheckInterval);

    // Idle until the next check: one wake-up, the check's own timer.
    const auto wakeUps = loop().wakeUpCount();
    advance(Updater::kCheckInterval - 1);
    EXPECT_EQ(loop().wakeUpCount(), wakeUps);
    advance(1);
    EXPECT_EQ(loop().wakeUpCount(), wakeUps + 1);
    ASSERT_TRUE(waitFor(2));

    // Switched off: no timer at all; a relaunch a day later waits only the launch delay.
    driver->reply(UserUpdateChoice::dismiss);
    updater->setAutomaticallyChecksForUpdates(false);
    EXPECT_FALSE(updater->nextScheduledCheckIn());
    updater->setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(updater->nextScheduledCheckIn(), Updater::kCheckInterval);
    advance(Updater::kCheckInterval);
    updater.reset();
    auto relaunched = makeUpdater();
    ASSERT_TRUE(relaunched->start());
    EXPECT_EQ(relaunched->nextScheduledCheckIn(), Updater::kLaunchCheckDelay);
}

TEST_F(UpdaterTest, UserCheckShowsTheFoundUpdateAndASkipHoldsOnlyForScheduledChecks) {
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->start());
    updater->checkForUpdates();
    EXPECT_FALSE(updater->canCheckForUpdates().peek());
    ASSERT_TRUE(waitFor(2));
    EXPECT_EQ(driver->shown, (std::vector<std::string>{"checking", "found 50"}));
    EXPECT_TRUE(driver->foundUserInitiated.at(0));
    EXPECT_EQ(driver->found.at(0).displayVersionString(), "1.3");

    driver->reply(UserUpdateChoice::skip);
    EXPECT_EQ(
        delegate->choices,
        (std::vector<std::pair<UserUpdateChoice, std::string>>{{UserUpdateChoice::skip, "50"}}));
    EXPECT_EQ(platform().userDefaults().string(Updater::kSkippedBuildKey), "50");
    EXPECT_TRUE(updater->canCheckForUpdates().peek());

    // The skipped build is offered no more by the schedule...
    driver->shown.clear();
    advance(Updater::kCheckInterval);
    testing::pumpNetworkUntil(*transport, [&] { return !updater->sessionInProgress().peek(); });
    EXPECT_TRUE(driver->shown.empty());
    // ...but a check the user asks for still shows it.
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    EXPECT_EQ(driver->shown.back(), "found 50");
}

TEST_F(UpdaterTest, UpToDateWhenTheFeedHasNothingNewer) {
    server.serve("/appcast.xml",
                 {200, testing::appcastXML({{"49", "1.2.9", server.url("/a"), "", 1, ""}})});
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->start());
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    EXPECT_EQ(driver->shown.back(), "not found");
    driver->acknowledge();
    EXPECT_EQ(driver->shown.back(), "dismissed");
    EXPECT_FALSE(updater->sessionInProgress().peek());
}

TEST_F(UpdaterTest, NetworkFailureIsError2001ForTheUserAndOnlyLoggedForTheSchedule) {
    auto updater = makeUpdater(testing::LoopbackServer::refusingURL());
    ASSERT_TRUE(updater->start());
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    ASSERT_EQ(driver->errors.size(), 1u);
    EXPECT_EQ(driver->errors[0].domain, "SUSparkleErrorDomain");
    EXPECT_EQ(driver->errors[0].code, 2001);
    EXPECT_TRUE(updater->sessionInProgress().peek());
    driver->acknowledge();
    EXPECT_FALSE(updater->sessionInProgress().peek());

    driver->shown.clear();
    advance(Updater::kCheckInterval);
    testing::pumpNetworkUntil(*transport, [&] { return !updater->sessionInProgress().peek(); });
    EXPECT_TRUE(driver->shown.empty());
    const auto messages = logs().messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_TRUE(messages.back().starts_with("Scheduled update check failed (2001)"));
}

TEST_F(UpdaterTest, InstallDownloadsVerifiesSavesAndHandsTheFileToTheSystem) {
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->start());
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    driver->reply(UserUpdateChoice::install);
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(driver->shown,
              (std::vector<std::string>{"checking", "found 50", "downloading", "finished"}));
    EXPECT_EQ(driver->expectedLength, payload.size());
    EXPECT_EQ(driver->receivedLength, payload.size());
    EXPECT_EQ(downloadedFiles(), std::vector<std::string>{"Talvori-1.3.tar.gz"});
    EXPECT_EQ(driver->finishedPath, (downloads / "Talvori-1.3.tar.gz").string());
    EXPECT_EQ(simWorkspace().openedFiles(),
              std::vector<std::string>{(downloads / "Talvori-1.3.tar.gz").string()});
    driver->acknowledge();
    EXPECT_FALSE(updater->sessionInProgress().peek());
}

TEST_F(UpdaterTest, ADownloadNoProgramOpensIsReportedAsSavedOnly) {
    simWorkspace().setOpenFileFails(true);
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->start());
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    driver->reply(UserUpdateChoice::install);
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(driver->shown.back(), "finished, not opened");
    EXPECT_EQ(downloadedFiles(), std::vector<std::string>{"Talvori-1.3.tar.gz"});
}

TEST_F(UpdaterTest, AnEnclosureOffTheWebIsNeitherFetchedNorCalledANetworkFailure) {
    server.serve("/appcast.xml",
                 {200, testing::appcastXML({{"50", "1.3", "file:///etc/passwd", key.sign(payload),
                                             payload.size(), ""}})});
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->start());
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    driver->reply(UserUpdateChoice::install);
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(driver->shown.back(), "error 1000");
    EXPECT_TRUE(downloadedFiles().empty());
    EXPECT_TRUE(simWorkspace().openedFiles().empty());
}

TEST_F(UpdaterTest, ADownloadThatDoesNotVerifyIsDeletedAndNeverOpened) {
    const testing::SigningKey stranger;
    for (const auto& [signature, length] : std::vector<std::pair<std::string, std::size_t>>{
             {stranger.sign(payload), 0},
             {"", 0},
             {key.sign(payload), payload.size() - 1},
             {key.sign(payload), payload.size() + 5}}) {
        serveFeed(signature, length);
        driver->shown.clear();
        auto updater = makeUpdater();
        ASSERT_TRUE(updater->start());
        updater->checkForUpdates();
        ASSERT_TRUE(waitFor(2));
        driver->reply(UserUpdateChoice::install);
        ASSERT_TRUE(waitFor(4));
        EXPECT_EQ(driver->shown.back(), "error 3001");
        EXPECT_TRUE(downloadedFiles().empty());
        EXPECT_TRUE(simWorkspace().openedFiles().empty());
        driver->acknowledge();
    }
}

// What a feed names and what others put in the download folder (the shared temporary folder when
// there is no home) can neither stop the program nor steer the download onto another file.
TEST_F(UpdaterTest, AHostileNameOrAFolderOthersWriteToNeitherStopsNorRedirectsTheDownload) {
    std::string longName;
    for (int count = 0; count < 150; ++count) longName += "\xc3\xa9";  // é, two bytes each
    longName += ".tar.gz";
    server.serve("/" + longName, {200, payload, "application/octet-stream"});
    server.serve("/appcast.xml",
                 {200, testing::appcastXML({{"50", "1.3", server.url("/" + longName),
                                             key.sign(payload), payload.size(), ""}})});
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->start());
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    driver->reply(UserUpdateChoice::install);
    ASSERT_TRUE(waitFor(4));
    ASSERT_EQ(driver->shown.back(), "finished");
    const auto saved = downloadedFiles();
    ASSERT_EQ(saved.size(), 1U);
    EXPECT_LE(saved[0].size(), 255U - 11U);
    EXPECT_TRUE(saved[0].ends_with("\xc3\xa9.gz")) << "cut between characters, extension kept";
    driver->acknowledge();
    fs::remove(downloads / saved[0]);

    // A link where the partial download would go, and a file under the final name.
    serveFeed(key.sign(payload));
    const fs::path elsewhere = downloads.string() + "-elsewhere";
    std::ofstream(elsewhere) << "someone's file";
    fs::create_symlink(elsewhere, downloads / "Talvori-1.3.tar.gz.part");
    std::ofstream(downloads / "Talvori-1.3.tar.gz") << "kept";
    driver->shown.clear();
    updater->checkForUpdates();
    ASSERT_TRUE(waitFor(2));
    driver->reply(UserUpdateChoice::install);
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(driver->shown.back(), "finished");
    EXPECT_EQ(driver->finishedPath, (downloads / "Talvori-1.3.tar (2).gz").string());
    std::ifstream untouched(elsewhere);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(untouched), {}), "someone's file");
    std::ifstream kept(downloads / "Talvori-1.3.tar.gz");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
    fs::remove(elsewhere);
}

}  // namespace
}  // namespace talvori::updates

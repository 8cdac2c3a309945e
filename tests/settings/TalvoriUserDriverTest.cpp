#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/desktop/Bundle.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "platform/sim/SimAlerts.hpp"
#include "reminder/UpdateReminder.hpp"
#include "settings/TalvoriUserDriver.hpp"
#include "settings/UpdateStartup.hpp"
#include "support/LoopbackServer.hpp"
#include "support/SimDesktopTest.hpp"
#include "ui/AlertView.hpp"
#include "ui/PanelHost.hpp"
#include "updates/CurlTransport.hpp"
#include "updates/Updater.hpp"

namespace talvori {
namespace {

using updates::UpdateError;

class TalvoriUserDriverTest : public testing::SimDesktopTest {
  protected:
    std::shared_ptr<updates::Updater> makeUpdater(const std::string& feed) {
        // Any valid key: these sessions never get as far as a download.
        auto updater = updates::Updater::make(
            {"Talvori", "49", "1.2.9", feed, "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=", ""},
            driver, reminder, transport);
        driver->updater = updater;
        reminder->updater = updater;
        EXPECT_TRUE(updater->start());
        return updater;
    }
    const std::vector<sim::SimAlerts::Record>& alerts() const {
        return desktop().alerts().records();
    }
    static UpdateError networkError() {
        return UpdateError::make(UpdateError::kNetwork, "offline");
    }

    std::shared_ptr<updates::CurlTransport> transport =
        updates::CurlTransport::make(platform().sharedRunLoop());
    std::shared_ptr<UpdateReminder> reminder =
        UpdateReminder::make(platform().userDefaults().shared_from_this(), "49", "1.2.9");
    std::shared_ptr<TalvoriUserDriver> driver = std::make_shared<TalvoriUserDriver>(
        updates::HostBundle{"Talvori", "49", "1.2.9", "", "", ""}, reminder);
};

TEST_F(TalvoriUserDriverTest, NetworkAlertTitleFollowsWhetherADownloadHadStarted) {
    EXPECT_EQ(TalvoriUserDriver::errorMessage(networkError(), true),
              (TalvoriUserDriver::Message{"Couldn't download the update",
                                          "Check your internet connection and try again."}));
    EXPECT_EQ(TalvoriUserDriver::errorMessage(networkError(), false)->title,
              "Couldn't check for updates");
    EXPECT_FALSE(TalvoriUserDriver::errorMessage({"OtherDomain", 2001, ""}, false));
    EXPECT_FALSE(TalvoriUserDriver::errorMessage(UpdateError::make(3001, ""), false));

    ui::AlertView::install(platform().alerts());
    driver->showDownloadInitiated([] {});
    // Another error goes to the standard window and leaves the download state as it was.
    driver->showUpdaterError(UpdateError::make(UpdateError::kSignature, "Not signed."), [] {});
    EXPECT_TRUE(driver->isDownloading());
    EXPECT_TRUE(alerts().empty());

    bool acknowledged = false;
    driver->showUpdaterError(networkError(), [&] { acknowledged = true; });
    EXPECT_TRUE(acknowledged);
    EXPECT_TRUE(alerts().empty()) << "the alert comes on a later turn, after the acknowledgement";
    EXPECT_FALSE(driver->isDownloading());
    runUntilIdle();
    ASSERT_EQ(alerts().size(), 1u);
    const Alert& alert = alerts()[0].alert;
    EXPECT_EQ(alert.messageText, "Couldn't download the update");
    EXPECT_EQ(alert.informativeText, "Check your internet connection and try again.");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Try Again", "Not Now"}));
    EXPECT_EQ(alert.initialButton, 0u);
    EXPECT_TRUE(simApplication().isActive());
    if (const char* folder = std::getenv("TALVORI_VIEW_PICTURES")) {
        sim::ScreenPicture::render(world()).writePNG(std::string(folder) + "/network-alert.png");
    }
    desktop().alerts().pressButton("Not Now");

    driver->showUserInitiatedUpdateCheck([] {});
    driver->showUpdaterError(networkError(), [] {});
    runUntilIdle();
    EXPECT_EQ(alerts().back().alert.messageText, "Couldn't check for updates");
}

TEST_F(TalvoriUserDriverTest, RefusedCheckAlertsAndTryAgainChecksOnceTheSessionEnds) {
    testing::LoopbackServer server;
    auto updater = makeUpdater(testing::LoopbackServer::refusingURL());
    updater->checkForUpdates();
    testing::pumpNetworkUntil(*transport, [&] {
        runUntilIdle();
        return !alerts().empty();
    });
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.messageText, "Couldn't check for updates");
    EXPECT_FALSE(updater->sessionInProgress().peek());

    // A session is running when the user presses "Try Again" (twice, from two alerts).
    server.hang("/appcast.xml");
    auto busy = makeUpdater(server.url("/appcast.xml"));
    busy->checkForUpdates();
    ASSERT_TRUE(busy->sessionInProgress().peek());
    driver->showUpdaterError(networkError(), [] {});
    runUntilIdle();
    desktop().alerts().pressButton("Try Again");
    runUntilIdle();
    desktop().alerts().pressButton("Try Again");
    runUntilIdle();
    EXPECT_TRUE(logs().contains("Try Again: waiting for the failed session to end"));
    EXPECT_TRUE(driver->isWaitingForSessionEnd());
    testing::pumpNetworkUntil(*transport, [&] { return server.requestCount("/appcast.xml") == 1; });

    // The session ends (its feed times out): exactly one new check starts.
    server.serve("/appcast.xml", {200, "<rss><channel></channel></rss>"});
    advance(updates::Updater::kFeedTimeout);
    testing::pumpNetworkUntil(*transport, [&] {
        runUntilIdle();
        return server.requestCount("/appcast.xml") >= 2;
    });
    runUntilIdle();
    EXPECT_EQ(server.requestCount("/appcast.xml"), 2);
    EXPECT_FALSE(driver->isWaitingForSessionEnd());

    driver->updater.reset();
    driver->showUpdaterError(networkError(), [] {});
    runUntilIdle();
    desktop().alerts().pressButton("Try Again");
    runUntilIdle();
    EXPECT_TRUE(logs().contains("Try Again: no updater"));
}

TEST_F(TalvoriUserDriverTest, AScheduledFindOpensNoWindowAndBecomesThePendingUpdate) {
    testing::LoopbackServer server;
    server.serve("/appcast.xml",
                 {200,
                  "<rss xmlns:u=\"urn:talvori:updates:appcast\" xmlns:talvori=\"urn:x\"><channel>"
                  "<item><u:version>50</u:version><u:shortVersionString>1.3</u:shortVersionString>"
                  "<talvori:summary>Faster.</talvori:summary>"
                  "<enclosure url=\"" +
                      server.url("/a.tar.gz") +
                      "\" length=\"1\"/></item>"
                      "</channel></rss>"});
    int found = 0;
    reminder->onUpdateFound = [&] { ++found; };
    auto updater = makeUpdater(server.url("/appcast.xml"));
    advance(updates::Updater::kLaunchCheckDelay);
    testing::pumpNetworkUntil(*transport, [&] {
        runUntilIdle();
        return found == 1;
    });
    EXPECT_FALSE(driver->window());
    EXPECT_EQ(reminder->pendingUpdate().peek(),
              (UpdateReminder::PendingUpdate{"1.3", "50", "Faster."}));
    EXPECT_FALSE(updater->sessionInProgress().peek());

    // The user asks from the callout: the window shows it, and a skip clears the reminder.
    updater->checkForUpdates();
    testing::pumpNetworkUntil(*transport,
                              [&] { return driver->window() != nullptr && found == 2; });
    ASSERT_TRUE(driver->window());
    auto& host = static_cast<ui::PanelHost&>(*driver->window()->hostedContent()).host();
    host.updateNow();
    host.find(ui::Query::byLabel("Skip This Version")).click();
    EXPECT_FALSE(reminder->pendingUpdate().peek());
    EXPECT_FALSE(platform().userDefaults().data(UpdateReminder::kPendingUpdateKey));
}

TEST_F(TalvoriUserDriverTest, StartUpWiresTheObjectsAndCarriesOnWhenTheUpdaterCannotStart) {
    Bundle bundle = platform().mainBundle();
    bundle.setValue(Bundle::kShortVersionKey, std::string("1.2.4"));
    bundle.setValue(Bundle::kVersionKey, std::int64_t{49});
    bundle.setValue(Bundle::kPublicKeyKey, std::string("not a key"));
    platform().setMainBundle(bundle);
    platform().userDefaults().set("hasCompletedOnboarding", true);

    const auto startup = UpdateStartup::start();
    const auto messages = logs().messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_TRUE(messages.back().starts_with("Sparkle failed to start: ")) << messages.back();
    EXPECT_EQ(startup.driver->updater.lock(), startup.updater);
    EXPECT_EQ(UpdateReminder::shared()->updater.lock(), startup.updater);
    // A build number that is no string reads as "0"; the launch is recorded all the same.
    EXPECT_EQ(UpdateReminder::shared()->currentBuild(), "0");
    EXPECT_EQ(UpdateReminder::shared()->whatsNewVersion().peek(), "1.2.4");
    EXPECT_FALSE(startup.updater->canCheckForUpdates().peek());
    EXPECT_TRUE(platform().alerts().hasContentMaker());

    bundle.setValue(Bundle::kPublicKeyKey,
                    std::string("11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo="));
    platform().setMainBundle(bundle);
    EXPECT_TRUE(UpdateStartup::start().updater->canCheckForUpdates().peek());
}

}  // namespace
}  // namespace talvori

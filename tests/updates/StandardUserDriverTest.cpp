#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/sim/ScreenPicture.hpp"
#include "support/SimDesktopTest.hpp"
#include "ui/PanelHost.hpp"
#include "updates/StandardUserDriver.hpp"
#include "updates/StandardUserDriverDelegate.hpp"

namespace talvori::updates {
namespace {

struct GentleDelegate : StandardUserDriverDelegate {
    bool gentle = true;
    std::vector<bool> willHandle;
    bool supportsGentleScheduledUpdateReminders() override { return gentle; }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const AppcastItem&, bool) override {
        return false;
    }
    void standardUserDriverWillHandleShowingUpdate(bool handle, const AppcastItem&,
                                                   const UserUpdateState&) override {
        willHandle.push_back(handle);
    }
};

class StandardUserDriverTest : public testing::SimDesktopTest {
  protected:
    ui::NodeRef find(const std::string& text) const {
        if (!driver->window()) return {};
        auto& host = static_cast<ui::PanelHost&>(*driver->window()->hostedContent()).host();
        host.updateNow();
        auto byText = host.find(ui::Query::byText(text));
        return byText ? byText : host.find(ui::Query::byLabel(text));
    }
    void picture(const char* name) const {
        if (const char* folder = std::getenv("TALVORI_VIEW_PICTURES")) {
            runUntilIdle();
            sim::ScreenPicture::render(world()).writePNG(std::string(folder) + "/" + name + ".png");
        }
    }
    static AppcastItem item() {
        AppcastItem item;
        item.version = "50";
        item.shortVersion = "1.3";
        return item;
    }

    std::shared_ptr<GentleDelegate> delegate = std::make_shared<GentleDelegate>();
    std::shared_ptr<StandardUserDriver> driver = std::make_shared<StandardUserDriver>(
        HostBundle{"Talvori", "49", "1.2.9", "", "", ""}, delegate);
    std::vector<std::string> answers;
};

TEST_F(StandardUserDriverTest, UserCheckWindowGoesFromCheckingToTheFoundUpdate) {
    driver->showUserInitiatedUpdateCheck([this] { answers.push_back("cancel"); });
    ASSERT_TRUE(driver->window());
    EXPECT_TRUE(driver->window()->isVisible());
    EXPECT_EQ(driver->window()->title(), "Talvori");
    EXPECT_TRUE(find("Checking for updates…"));
    picture("update-window-checking");

    driver->showUpdateFound(item(), {true}, [this](UserUpdateChoice choice) {
        answers.push_back("choice " + std::to_string(static_cast<int>(choice)));
    });
    EXPECT_EQ(delegate->willHandle, std::vector<bool>{true});
    EXPECT_TRUE(find("A new version of Talvori is available!"));
    EXPECT_TRUE(
        find("Talvori 1.3 is now available\u2014you have 1.2.9. Would you like to "
             "download it now?"));
    picture("update-window-found");
    find("Install Update").click();
    EXPECT_EQ(answers, std::vector<std::string>{"choice 1"});
    EXPECT_TRUE(driver->window()) << "the download shows in the same window";

    driver->showDownloadInitiated([this] { answers.push_back("cancel download"); });
    driver->showDownloadDidReceiveExpectedContentLength(16'000);
    driver->showDownloadDidReceiveData(8'000);
    EXPECT_TRUE(find("8 KB of 16 KB"));
    picture("update-window-downloading");
    find("Cancel").click();
    EXPECT_EQ(answers.back(), "cancel download");
    EXPECT_FALSE(driver->window());
}

TEST_F(StandardUserDriverTest, SkipLaterUpToDateAndErrorsCloseTheWindowWithTheirAnswer) {
    driver->showUpdateFound(item(), {true}, [this](UserUpdateChoice choice) {
        answers.push_back("choice " + std::to_string(static_cast<int>(choice)));
    });
    find("Skip This Version").click();
    EXPECT_FALSE(driver->window());
    driver->showUpdateFound(item(), {true}, [this](UserUpdateChoice choice) {
        answers.push_back("choice " + std::to_string(static_cast<int>(choice)));
    });
    find("Remind Me Later").click();
    EXPECT_EQ(answers, (std::vector<std::string>{"choice 0", "choice 2"}));

    driver->showUpdateNotFound([this] { answers.push_back("ok"); });
    EXPECT_TRUE(find("You're up to date!"));
    EXPECT_TRUE(find("Talvori 1.2.9 is currently the newest version available."));
    picture("update-window-up-to-date");
    find("OK").click();
    EXPECT_FALSE(driver->window());

    driver->showDownloadDidFinish("/home/user/Downloads/Talvori-1.3.tar.gz", false, [] {});
    EXPECT_TRUE(
        find("Talvori-1.3.tar.gz was saved in /home/user/Downloads. Open it from there to "
             "install the update."));

    driver->showUpdaterError(UpdateError::make(UpdateError::kSignature, "Not signed."),
                             [this] { answers.push_back("error ok"); });
    EXPECT_TRUE(find("Update Error!"));
    picture("update-window-error");
    find("OK").click();
    EXPECT_EQ(answers.back(), "error ok");
    EXPECT_FALSE(driver->window());
}

TEST_F(StandardUserDriverTest, AScheduledFindGoesToAGentleDelegateWithoutAWindow) {
    std::vector<UserUpdateChoice> choices;
    driver->showUpdateFound(item(), {false},
                            [&](UserUpdateChoice choice) { choices.push_back(choice); });
    EXPECT_FALSE(driver->window());
    EXPECT_EQ(delegate->willHandle, std::vector<bool>{false});
    EXPECT_EQ(choices, std::vector<UserUpdateChoice>{UserUpdateChoice::dismiss});

    delegate->gentle = false;
    driver->showUpdateFound(item(), {false},
                            [&](UserUpdateChoice choice) { choices.push_back(choice); });
    EXPECT_TRUE(driver->window());
    EXPECT_EQ(choices.size(), 1u);
}

}  // namespace
}  // namespace talvori::updates

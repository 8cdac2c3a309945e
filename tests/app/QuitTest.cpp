#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/PanelTest.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "platform/desktop/Alerts.hpp"
#include "platform/sim/SimAlerts.hpp"

namespace talvori::testing {
namespace {

namespace fs = std::filesystem;

// What is open when the user quits.
enum class OpenState {
    firstRun,
    settingsGeneral,
    settingsShortcuts,
    recorderRecording,
    menuBarPanel,
    renameField,
    colorPicker,
    colorSampler,
    closeAllMidway,
    alertSheet,
};

// Quitting ends the program the way main() does: the application goes, then the platform, each
// while nothing of it is still in use. Whatever is open, the hot keys are given back and the
// settings file is whole afterwards.
class QuitTest : public PanelTest, public ::testing::WithParamInterface<OpenState> {
  protected:
    QuitTest()
        : folder_(fs::temp_directory_path() / ("talvori-quit-" + std::to_string(::getpid()) + "-" +
                                               std::to_string(static_cast<int>(GetParam())))) {
        fs::remove_all(folder_);
        platform().setUserDefaults(UserDefaults::fileBacked((folder_ / "defaults.json").string(),
                                                            platform().sharedRunLoop(),
                                                            platform().logger("Settings")));
    }
    ~QuitTest() override { fs::remove_all(folder_); }

    void reach(OpenState state) {
        if (state == OpenState::firstRun) {
            startApp();
            return;
        }
        start();
        switch (state) {
            case OpenState::alertSheet: {
                // The sheet an update check that failed puts up, answered after the quit.
                platform().application().openWindow(TalvoriApp::kSettingsSceneID);
                runUntilIdle();
                Alert alert;
                alert.messageText = "Couldn't check for updates";
                alert.addButton("Try Again");
                alert.addButton("Not Now");
                platform().alerts().beginSheetModal(
                    std::move(alert),
                    platform().application().sceneWindow(TalvoriApp::kSettingsSceneID),
                    [](long) {});
                runUntilIdle();
                ASSERT_TRUE(desktop().alerts().current());
                break;
            }
            case OpenState::settingsGeneral:
            case OpenState::settingsShortcuts:
            case OpenState::recorderRecording: {
                platform().application().openWindow(TalvoriApp::kSettingsSceneID);
                runUntilIdle();
                if (state == OpenState::settingsGeneral) break;
                const auto window =
                    platform().application().sceneWindow(TalvoriApp::kSettingsSceneID);
                clickIn(*window, "Shortcuts");
                if (state == OpenState::recorderRecording) {
                    clickIn(*window, "Show Talvori Panel shortcut");
                }
                break;
            }
            case OpenState::renameField:
                manager()->createCover();
                runUntilIdle();
                click(labelled("Rename cover"));
                break;
            case OpenState::colorPicker:
            case OpenState::colorSampler: {
                const auto cover = manager()->createCover();
                // The colour block belongs to solid covers.
                cover->setEffectType(EffectType::solid);
                runUntilIdle();
                const Rect frame = cover->model.peek().frame.rect();
                input().moveMouse({frame.midX(), frame.midY()});
                advance(0.3);
                runUntilIdle();
                auto& controls = manager()->controlPanelController();
                ASSERT_TRUE(controls.isPanelVisible());
                clickIn(controls.hostingView()->host(), "Show color picker");
                advance(0.3);
                if (state == OpenState::colorSampler) {
                    clickIn(controls.hostingView()->host(), "Sample color from screen");
                    ASSERT_TRUE(simColorSampler().isSampling());
                }
                break;
            }
            case OpenState::closeAllMidway:
                manager()->createCover();
                manager()->createCover();
                runUntilIdle();
                manager()->closeAll();
                advance(0.05);
                break;
            default:
                break;
        }
    }
    void clickIn(const Panel& window, const std::string& label) { clickIn(viewsOf(window), label); }
    void clickIn(ui::Host& views, const std::string& label) {
        const auto node = views.find(ui::Query::byLabel(label));
        ASSERT_TRUE(node) << label;
        const Rect frame = node.frameOnScreen().value_or(Rect());
        input().click({frame.midX(), frame.midY()});
        runUntilIdle();
    }
    std::string settingsFile() const {
        std::ifstream file(folder_ / "defaults.json");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path folder_;
};

TEST_P(QuitTest, QuittingGivesTheHotKeysBackAndLeavesTheSettingsWhole) {
    reach(GetParam());
    if (HasFatalFailure()) return;
    platform().application().terminate();
    app.reset();
    Platform::uninstall();
    EXPECT_TRUE(simHotKeys().registrations().empty());
    const auto stored = settingsFile();
    EXPECT_NE(stored.find("\"updateReminder.lastLaunchedVersion\""), std::string::npos) << stored;
    EXPECT_EQ(stored.back(), '\n') << stored;
    // The fixture ends on a platform of its own.
    Platform::install(Platform::makeVirtual());
}

std::string stateName(const ::testing::TestParamInfo<OpenState>& info) {
    static const char* const names[] = {
        "firstRun",    "settingsGeneral", "settingsShortcuts", "recorderRecording", "menuBarPanel",
        "renameField", "colorPicker",     "colorSampler",      "closeAllMidway",    "alertSheet"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Open, QuitTest,
                         ::testing::Values(OpenState::firstRun, OpenState::settingsGeneral,
                                           OpenState::settingsShortcuts,
                                           OpenState::recorderRecording, OpenState::menuBarPanel,
                                           OpenState::renameField, OpenState::colorPicker,
                                           OpenState::colorSampler, OpenState::closeAllMidway,
                                           OpenState::alertSheet),
                         stateName);

}  // namespace
}  // namespace talvori::testing

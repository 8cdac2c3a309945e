#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "platform/Platform.hpp"
#include "platform/x11/X11ColorSampler.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

namespace fs = std::filesystem;

enum class OpenState { firstRun, settingsShortcuts, menuBarPanel, colorSampler, closeAllMidway };

std::string stateName(const ::testing::TestParamInfo<OpenState>& info) {
    static const char* const names[] = {"firstRun", "settingsShortcuts", "menuBarPanel",
                                        "colorSampler", "closeAllMidway"};
    return names[static_cast<int>(info.param)];
}

// Quitting on the X server the way main() does: the application goes, then the platform.
// Whatever was open, the shortcut keys are given back and the settings file is whole.
class X11QuitTest : public X11DesktopTest, public ::testing::WithParamInterface<OpenState> {
  protected:
    X11QuitTest()
        : X11DesktopTest({.tray = true}),
          folder_(fs::temp_directory_path() /
                  ("talvori-x11-quit-" + std::to_string(::getpid()) + "-" +
                   std::to_string(static_cast<int>(GetParam())))) {}
    ~X11QuitTest() override { fs::remove_all(folder_); }
    void SetUp() override {
        X11DesktopTest::SetUp();
        fs::remove_all(folder_);
        platform().setUserDefaults(UserDefaults::fileBacked((folder_ / "defaults.json").string(),
                                                            platform().sharedRunLoop(),
                                                            platform().logger("Settings")));
    }

    void reach(OpenState state) {
        if (state != OpenState::firstRun)
            platform().userDefaults().set("hasCompletedOnboarding", true);
        app = TalvoriApp::start();
        runFor(0.3);
        const auto manager = app->runtime()->windowManager.peek();
        switch (state) {
            case OpenState::firstRun:
                ASSERT_TRUE(platform().application().sceneWindow(TalvoriApp::kFirstRunSceneID));
                break;
            case OpenState::settingsShortcuts: {
                platform().application().openWindow(TalvoriApp::kSettingsSceneID);
                runFor(0.3);
                const auto window =
                    platform().application().sceneWindow(TalvoriApp::kSettingsSceneID);
                ASSERT_TRUE(window);
                click(static_cast<ui::PanelHost&>(*window->hostedContent()).host(), "Shortcuts");
                break;
            }
            case OpenState::menuBarPanel:
                ASSERT_TRUE(manager);
                manager->showMenuBarPanel();
                runFor(0.3);
                break;
            case OpenState::colorSampler: {
                ASSERT_TRUE(manager);
                const auto cover = manager->createCover();
                cover->setEffectType(EffectType::solid);
                runFor(0.2);
                const Rect frame = cover->model.peek().frame.rect();
                driver().moveMouse(static_cast<int>(frame.midX()),
                                   800 - static_cast<int>(frame.midY()));
                auto& controls = manager->controlPanelController();
                ASSERT_TRUE(runUntil([&] { return controls.isPanelVisible(); }));
                runFor(0.3);
                click(controls.hostingView()->host(), "Show color picker");
                click(controls.hostingView()->host(), "Sample color from screen");
                ASSERT_TRUE(
                    dynamic_cast<x11::X11ColorSampler&>(platform().colorSampler()).isSampling());
                break;
            }
            case OpenState::closeAllMidway:
                ASSERT_TRUE(manager);
                manager->createCover();
                manager->createCover();
                runFor(0.2);
                manager->closeAll();
                runFor(0.03);
                break;
        }
    }
    // A press where the element labelled `label` shows (the global space is y up, the root's y
    // down).
    void click(ui::Host& views, const std::string& label) {
        const auto node = views.find(ui::Query::byLabel(label));
        ASSERT_TRUE(node) << label;
        const Rect frame = node.frameOnScreen().value_or(Rect());
        driver().click(static_cast<int>(frame.midX()), 800 - static_cast<int>(frame.midY()));
        runFor(0.3);
    }
    std::string settingsFile() const {
        std::ifstream file(folder_ / "defaults.json");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::shared_ptr<TalvoriApp> app;
    fs::path folder_;
};

TEST_P(X11QuitTest, QuittingGivesTheShortcutKeysBackAndLeavesTheSettingsWhole) {
    reach(GetParam());
    if (HasFatalFailure()) return;
    platform().application().terminate();
    app.reset();
    Platform::uninstall();
    // The program's connection would close here, sending what it still holds; the test keeps it.
    xcb_flush(desktop().connection().raw());
    // Another program can take Shift-Super-F (Focus) now.
    constexpr std::uint16_t kShiftSuper = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4;
    EXPECT_TRUE(driver().grabKey(X11TestDriver::kF, kShiftSuper));
    const auto stored = settingsFile();
    EXPECT_NE(stored.find("\"updateReminder.lastLaunchedVersion\""), std::string::npos) << stored;
    EXPECT_EQ(stored.back(), '\n') << stored;
}

INSTANTIATE_TEST_SUITE_P(Open, X11QuitTest,
                         ::testing::Values(OpenState::firstRun, OpenState::settingsShortcuts,
                                           OpenState::menuBarPanel, OpenState::colorSampler,
                                           OpenState::closeAllMidway),
                         stateName);

}  // namespace
}  // namespace talvori::testing

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/SignalWatch.hpp"
#include "platform/desktop/Alerts.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ColorSampler.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

namespace fs = std::filesystem;

enum class OpenState {
    firstRun,
    settingsShortcuts,
    menuBarPanel,
    colorSampler,
    closeAllMidway,
    settingsGeneral,
    colorPicker,
    firstRunPermission,
    firstRunFinish,
    alert,
    menuBarRename
};

std::string stateName(const ::testing::TestParamInfo<OpenState>& info) {
    static const char* const names[] = {"firstRun",     "settingsShortcuts",  "menuBarPanel",
                                        "colorSampler", "closeAllMidway",     "settingsGeneral",
                                        "colorPicker",  "firstRunPermission", "firstRunFinish"};
    return names[static_cast<int>(info.param)];
}

// Quitting on the X server the way main() does: the application goes, then the platform.
class X11QuitFixture : public X11DesktopTest {
  protected:
    explicit X11QuitFixture(const std::string& name)
        : X11DesktopTest({.tray = true}),
          folder_(fs::temp_directory_path() /
                  ("talvori-x11-quit-" + std::to_string(::getpid()) + "-" + name)) {}
    ~X11QuitFixture() override { fs::remove_all(folder_); }
    void SetUp() override {
        X11DesktopTest::SetUp();
        fs::remove_all(folder_);
        platform().setUserDefaults(UserDefaults::fileBacked((folder_ / "defaults.json").string(),
                                                            platform().sharedRunLoop(),
                                                            platform().logger("Settings")));
    }

    void reach(OpenState state) {
        if (!isFirstRun(state)) platform().userDefaults().set("hasCompletedOnboarding", true);
        app = TalvoriApp::start();
        // The first run shows its window before any runtime starts.
        ASSERT_TRUE(runUntil(
            [&] { return isFirstRun(state) || app->runtime()->windowManager.peek() != nullptr; }));
        switch (state) {
            case OpenState::firstRun:
            case OpenState::firstRunPermission:
            case OpenState::firstRunFinish:
                return openFirstRun(state);
            case OpenState::settingsShortcuts:
            case OpenState::settingsGeneral:
            case OpenState::alert:
                return openSettings(state);
            case OpenState::menuBarPanel:
            case OpenState::menuBarRename:
                return openMenuBarPanel(state == OpenState::menuBarRename);
            case OpenState::colorSampler:
            case OpenState::colorPicker:
                return openControlPanel(state == OpenState::colorSampler);
            case OpenState::closeAllMidway:
                return closeAllMidway();
        }
    }
    static bool isFirstRun(OpenState state) {
        return state == OpenState::firstRun || state == OpenState::firstRunPermission ||
               state == OpenState::firstRunFinish;
    }
    std::shared_ptr<WindowManager> manager() const { return app->runtime()->windowManager.peek(); }
    ui::Host& sceneViews(const char* id) const {
        return static_cast<ui::PanelHost&>(
                   *platform().application().sceneWindow(id)->hostedContent())
            .host();
    }
    // Each page is reached through the one before, as the user goes.
    void openFirstRun(OpenState page) {
        ASSERT_TRUE(runUntil([&] { return isShown(TalvoriApp::kFirstRunSceneID); }));
        if (page == OpenState::firstRun) return;
        click(sceneViews(TalvoriApp::kFirstRunSceneID), "Continue");
        if (page == OpenState::firstRunPermission) return;
        click(sceneViews(TalvoriApp::kFirstRunSceneID), "Skip for now");
    }
    // The alert is a sheet on the settings window, as the shortcut recorder's are.
    void openSettings(OpenState state) {
        platform().application().openWindow(TalvoriApp::kSettingsSceneID);
        ASSERT_TRUE(runUntil([&] { return isShown(TalvoriApp::kSettingsSceneID); }));
        if (state == OpenState::settingsShortcuts) {
            click(sceneViews(TalvoriApp::kSettingsSceneID), "Shortcuts");
        } else if (state == OpenState::alert) {
            Alert alert;
            alert.messageText = "This shortcut is already in use";
            alert.buttons = {"OK", "Use Anyway"};
            platform().alerts().beginSheetModal(
                alert, platform().application().sceneWindow(TalvoriApp::kSettingsSceneID),
                [](long) {});
            ASSERT_TRUE(runUntil([&] {
                const auto shown = platform().alerts().visibleAlerts();
                return !shown.empty() &&
                       driver().isViewable(shown.front()->window()->windowNumber());
            }));
        }
    }
    // With a rename field open on a cover's row.
    void openMenuBarPanel(bool renaming) {
        if (renaming) manager()->createCover();
        manager()->showMenuBarPanel();
        const auto& controller = manager()->menuBarPanelController();
        ASSERT_TRUE(runUntil([&] {
            const auto& panel = controller.panel();
            return panel && driver().isViewable(panel->windowNumber());
        }));
        if (!renaming) return;
        click(controller.hostingView()->host(), "Rename cover");
    }
    // Its colour picker shown, sampling the screen or not.
    void openControlPanel(bool sampling) {
        const auto cover = manager()->createCover();
        cover->setEffectType(EffectType::solid);
        const auto& panel = manager()->windowControllers.peek().at(cover->id())->panel()->window();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel.windowNumber()); }));
        const Rect frame = cover->model.peek().frame.rect();
        driver().moveMouse(static_cast<int>(frame.midX()), 800 - static_cast<int>(frame.midY()));
        auto& controls = manager()->controlPanelController();
        ASSERT_TRUE(runUntil([&] {
            return controls.isPanelVisible() &&
                   driver().isViewable(controls.panel()->windowNumber());
        }));
        click(controls.hostingView()->host(), "Show color picker");
        if (!sampling) return;
        click(controls.hostingView()->host(), "Sample color from screen");
        ASSERT_TRUE(runUntil([&] {
            return dynamic_cast<x11::X11ColorSampler&>(platform().colorSampler()).isSampling();
        }));
    }
    // Quits while the covers fade out.
    void closeAllMidway() {
        manager()->createCover();
        manager()->createCover();
        ASSERT_TRUE(runUntil([&] {
            const auto controllers = manager()->windowControllers.peek();
            return std::all_of(controllers.begin(), controllers.end(), [&](const auto& one) {
                return driver().isViewable(one.second->panel()->window().windowNumber());
            });
        }));
        manager()->closeAll();
        catchUp();
    }
    // Where the element labelled `label` shows, once it is there and stands still: a page that
    // slides in or a section that opens moves it.
    std::optional<Rect> steadyFrame(ui::Host& views, const std::string& label) {
        const auto frame = [&]() -> std::optional<Rect> {
            const auto node = views.find(ui::Query::byLabel(label));
            return node ? node.frameOnScreen() : std::nullopt;
        };
        std::optional<Rect> seen;
        if (!runUntil([&] { return frame().has_value(); }) ||
            !runUntilSteady<std::optional<Rect>>([&] { return seen = frame(); })) {
            return std::nullopt;
        }
        return seen;
    }
    // The global space is y up, the root's y down.
    void click(ui::Host& views, const std::string& label) {
        const auto frame = steadyFrame(views, label);
        ASSERT_TRUE(frame) << label;
        driver().click(static_cast<int>(frame->midX()), 800 - static_cast<int>(frame->midY()));
        catchUp();
    }
    void restPointerOn(ui::PanelHost& window, const std::string& label) {
        const auto frame = steadyFrame(window.host(), label);
        ASSERT_TRUE(frame) << label;
        driver().moveMouse(static_cast<int>(frame->midX()), 800 - static_cast<int>(frame->midY()));
        ASSERT_TRUE(runUntil([&] { return window.panel() && window.panel()->isPointerInside(); }));
        catchUp();
    }
    // The scene window `id` is open and on the screen.
    bool isShown(const std::string& id) const {
        const auto window = platform().application().sceneWindow(id);
        return window && driver().isViewable(window->windowNumber());
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

// Whatever was open, the shortcut keys are given back and the settings file is whole.
class X11QuitTest : public X11QuitFixture, public ::testing::WithParamInterface<OpenState> {
  protected:
    X11QuitTest() : X11QuitFixture(std::to_string(static_cast<int>(GetParam()))) {}
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
                                           OpenState::closeAllMidway, OpenState::firstRunPermission,
                                           OpenState::firstRunFinish),
                         stateName);

struct SignalCase {
    const char* name;
    OpenState state;
    // The view the pointer rests on, by its label.
    const char* rested;
    int signal;
};

// A signal ends the program as the panel's Quit does, whatever the pointer rests on: every view
// lets go of its hover while the platform it reaches is still there.
class X11SignalQuitTest : public X11QuitFixture, public ::testing::WithParamInterface<SignalCase> {
  protected:
    X11SignalQuitTest() : X11QuitFixture(GetParam().name) {}

    std::shared_ptr<ui::PanelHost> windowOf(OpenState state) {
        std::shared_ptr<HostedContent> content;
        switch (state) {
            case OpenState::menuBarPanel:
            case OpenState::menuBarRename:
                return manager()->menuBarPanelController().hostingView();
            case OpenState::colorPicker:
                return manager()->controlPanelController().hostingView();
            case OpenState::alert:
                content = platform().alerts().visibleAlerts().front()->window()->hostedContent();
                break;
            default:
                content = platform()
                              .application()
                              .sceneWindow(isFirstRun(state) ? TalvoriApp::kFirstRunSceneID
                                                             : TalvoriApp::kSettingsSceneID)
                              ->hostedContent();
        }
        return std::static_pointer_cast<ui::PanelHost>(content);
    }
};

TEST_P(X11SignalQuitTest, ASignalQuitsCleanlyWithThePointerOnAView) {
    const auto& given = GetParam();
    reach(given.state);
    if (HasFatalFailure()) return;
    restPointerOn(*windowOf(given.state), given.rested);
    if (HasFatalFailure()) return;
    const SignalWatch quit(platform().runLoop(), {given.signal}, SignalWatch::Delivery::once,
                           [](int) { platform().application().terminate(); });
    ::kill(::getpid(), given.signal);
    auto& application = static_cast<x11::X11Application&>(platform().application());
    ASSERT_TRUE(runUntil([&] { return application.isTerminated(); }));
    platform().userDefaults().synchronize();
    app.reset();
    // Before, a view's hover ending here reached for the platform being destroyed and aborted.
    Platform::uninstall();
    const auto stored = settingsFile();
    EXPECT_NE(stored.find("\"updateReminder.lastLaunchedVersion\""), std::string::npos) << stored;
    EXPECT_EQ(stored.back(), '\n') << stored;
}

INSTANTIATE_TEST_SUITE_P(
    Open, X11SignalQuitTest,
    ::testing::Values(
        SignalCase{"recorderTerm", OpenState::settingsShortcuts, "Toggle Focus Mode shortcut",
                   SIGTERM},
        SignalCase{"recorderInt", OpenState::settingsShortcuts, "New Cover shortcut", SIGINT},
        SignalCase{"recorderHup", OpenState::settingsShortcuts, "Softer Focus shortcut", SIGHUP},
        SignalCase{"toggleTerm", OpenState::settingsGeneral, "Launch at Login", SIGTERM},
        SignalCase{"statusPanelHup", OpenState::menuBarPanel, "New cover", SIGHUP},
        SignalCase{"pickerSliderInt", OpenState::colorPicker, "Opacity", SIGINT},
        SignalCase{"pickerFieldTerm", OpenState::colorPicker, "hex or name, e.g. coral", SIGTERM},
        SignalCase{"welcomeInt", OpenState::firstRun, "Continue", SIGINT},
        SignalCase{"permissionTerm", OpenState::firstRunPermission, "Skip for now", SIGTERM},
        SignalCase{"finishHup", OpenState::firstRunFinish, "Start using Talvori", SIGHUP},
        SignalCase{"alertTerm", OpenState::alert, "Use Anyway", SIGTERM},
        SignalCase{"renameFieldInt", OpenState::menuBarRename, "Name", SIGINT}),
    [](const ::testing::TestParamInfo<SignalCase>& info) { return info.param.name; });

}  // namespace
}  // namespace talvori::testing

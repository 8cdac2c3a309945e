#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "covers/OverlayPanel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "focus/SpotlightPanelManager.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowEventHandler.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11Reply.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

class X11RobustnessTest : public X11DesktopTest {};

TEST_F(X11RobustnessTest, AServerKilledUnderTheProgramEndsItsLoopWithAMessage) {
    auto panel =
        platform().application().makePanel(Rect(10, 10, 100, 100), StyleMask::nonactivatingPanel);
    panel->orderFront();
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    session().killServer();
    EXPECT_TRUE(runUntil([&] { return desktop().application().isTerminated(); }));
    EXPECT_TRUE(logs().contains("The connection to the X server closed; Talvori ends."));
    // Everything still answers, with nothing.
    EXPECT_FALSE(platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly));
    panel->setFrame(Rect(20, 20, 50, 50));
    panel->close();
}

TEST_F(X11RobustnessTest, XErrorsAreLoggedWithTheirRequestAndTheProgramGoesOn) {
    xcb_connection_t* raw = desktop().connection().raw();
    // A window that no longer exists, as when another program's window vanished meanwhile.
    const xcb_window_t gone = 0x1fffff;
    // The same error again and again is logged once, then counted.
    for (int times = 0; times < 3; ++times) xcb_map_window(raw, gone);
    const std::uint32_t stacking[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(raw, gone, XCB_CONFIG_WINDOW_STACK_MODE, stacking);
    EXPECT_TRUE(runUntil([&] {
        return logs().contains("X error BadWindow in ConfigureWindow (resource 0x1fffff)");
    }));
    auto errors = logs().messages();
    std::erase_if(errors, [](const std::string& line) { return line.rfind("X error", 0) != 0; });
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "X error BadWindow in MapWindow (resource 0x1fffff)",
                          "X error BadWindow in MapWindow (resource 0x1fffff) … repeated 2 times",
                          "X error BadWindow in ConfigureWindow (resource 0x1fffff)"}));
    auto panel =
        platform().application().makePanel(Rect(10, 10, 100, 100), StyleMask::nonactivatingPanel);
    panel->orderFront();
    EXPECT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    EXPECT_FALSE(desktop().application().isTerminated());
}

class ClickCounter : public WindowEventHandler {
  public:
    bool mouseDown(Panel&, const Event&) override { return ++downs > 0; }
    bool mouseUp(Panel&, const Event&) override { return ++ups > 0; }
    int downs = 0;
    int ups = 0;
};

// On a loaded machine a click's release can come in while the program waits for a reply during
// its painting: the descriptor is quiet then, and the release must not wait for another wake-up.
TEST_F(X11RobustnessTest, EventsReadWhilePaintingAreHandledBeforeTheLoopSleeps) {
    auto counter = std::make_shared<ClickCounter>();
    auto panel =
        platform().application().makePanel(Rect(100, 100, 200, 200), StyleMask::nonactivatingPanel);
    panel->setEventHandler(counter);
    panel->orderFront();
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    catchUp();
    auto& connection = desktop().connection();
    bool clickDuringPaint = true;
    connection.setBeforeFlush([&] {
        desktop().application().beforeFlush();
        if (!std::exchange(clickDuringPaint, false)) return;
        driver().click(200, 600);
        driver().sync();
        xcb_connection_t* raw = connection.raw();
        ASSERT_TRUE(x11::waitReply(xcb_get_input_focus_reply, raw, xcb_get_input_focus(raw)));
    });
    platform().runLoop().runOnce(0);
    EXPECT_EQ(counter->downs, 1);
    EXPECT_EQ(counter->ups, 1);
    connection.setBeforeFlush([&] { desktop().application().beforeFlush(); });
}

enum class OwnWindow { settings, statusPanel, cover, focusPanel };

class X11DestroyedElsewhereTest : public X11DesktopTest,
                                  public ::testing::WithParamInterface<OwnWindow> {
  protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        SceneDescription scene;
        scene.identifier = "settings";
        scene.title = "Talvori Settings";
        scene.makeContent = [] {
            return ui::PanelHost::make(ui::Text("General").frame({.width = 320, .height = 200}));
        };
        platform().application().registerScene(scene);
        coordinator = RuntimeCoordinator::create();
        manager = coordinator->startRuntime();
        focus = SpotlightController::create(SpotlightPanelManager::create(),
                                            PermissionManager::shared(), UserDefaults::inMemory());
    }
    void TearDown() override {
        if (focus) focus->deactivate();
    }

    // Asks for the window as the user would; its number once it shows.
    xcb_window_t askFor() {
        switch (GetParam()) {
            case OwnWindow::settings:
                platform().application().openWindow("settings");
                return shown(platform().application().sceneWindow("settings"));
            case OwnWindow::statusPanel:
                manager->showMenuBarPanel();
                return shown(manager->menuBarPanelController().panel());
            case OwnWindow::cover: {
                const auto id = manager->createCover()->id();
                return shown(manager->windowControllers.peek().at(id)->panel()->sharedWindow());
            }
            case OwnWindow::focusPanel:
                focus->activate();
                return shown(focus->panelManager().overlayPanel());
        }
        return XCB_WINDOW_NONE;
    }
    // Whether the owner let the window go (Focus, still on, shows a new one at once).
    bool isDropped(xcb_window_t window) const {
        switch (GetParam()) {
            case OwnWindow::settings:
                return !platform().application().sceneWindow("settings");
            case OwnWindow::statusPanel:
                return !manager->menuBarPanelController().isPanelVisible();
            case OwnWindow::cover:
                return manager->windowControllers.peek().empty() &&
                       manager->overlays.peek().empty();
            case OwnWindow::focusPanel: {
                const auto& panel = focus->panelManager().overlayPanel();
                return panel && panel->windowNumber() != window;
            }
        }
        return false;
    }
    xcb_window_t shown(const std::shared_ptr<Panel>& panel) {
        if (!panel) return XCB_WINDOW_NONE;
        const xcb_window_t window = panel->windowNumber();
        if (!runUntil([&] { return driver().isViewable(window); })) return XCB_WINDOW_NONE;
        return window;
    }

    std::shared_ptr<RuntimeCoordinator> coordinator;
    std::shared_ptr<WindowManager> manager;
    std::shared_ptr<SpotlightController> focus;
};

// As xdotool windowclose does, or a window manager that ends without giving back what it held.
TEST_P(X11DestroyedElsewhereTest, IsClosedAsTheUsersCloseWouldAndTheNextRequestShowsANewOne) {
    const xcb_window_t first = askFor();
    ASSERT_NE(first, XCB_WINDOW_NONE);
    driver().destroy(first);
    ASSERT_TRUE(runUntil([&] { return isDropped(first); }));
    const xcb_window_t second = askFor();
    EXPECT_NE(second, XCB_WINDOW_NONE);
    EXPECT_NE(second, first);
    catchUp();
    for (const auto& message : logs().messages())
        EXPECT_NE(message.rfind("X error", 0), 0U) << message;
}

std::string ownWindowName(const ::testing::TestParamInfo<OwnWindow>& info) {
    static const char* const names[] = {"settings", "statusPanel", "cover", "focusPanel"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Windows, X11DestroyedElsewhereTest,
                         ::testing::Values(OwnWindow::settings, OwnWindow::statusPanel,
                                           OwnWindow::cover, OwnWindow::focusPanel),
                         ownWindowName);

class X11WithoutWindowManagerTest : public X11DesktopTest {
  protected:
    X11WithoutWindowManagerTest() : X11DesktopTest({.windowManager = false, .compositor = false}) {
        ::setenv("XDG_SESSION_TYPE", "wayland", 1);
    }
    ~X11WithoutWindowManagerTest() override { ::unsetenv("XDG_SESSION_TYPE"); }
};

TEST_F(X11WithoutWindowManagerTest, StartsShowsPanelsAndSaysWhatItCannotDo) {
    EXPECT_TRUE(logs().contains(
        "This is a Wayland session: Talvori can see and follow only X11 (XWayland) windows, and "
        "its global shortcuts work only while an X11 window has the keyboard."));
    EXPECT_TRUE(logs().contains(
        "No window manager runs: windows cannot be activated or followed until one starts"));
    auto panel =
        platform().application().makePanel(Rect(10, 10, 100, 100), StyleMask::nonactivatingPanel);
    panel->setOpaque(true);
    panel->orderFront();
    EXPECT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    EXPECT_TRUE(platform().accessibility().focusedApplication().error == AXError::noValue);
    EXPECT_FALSE(platform().workspace().frontmostApplication());
}

// A server without compositing keeps no copy of a hidden window, and has no 32-bit visual: panels
// use the screen's own, and draw again what another window uncovers, and only that.
class X11WithoutCompositingTest : public X11DesktopTest {
  protected:
    X11WithoutCompositingTest()
        : X11DesktopTest(
              {.windowManager = false, .compositor = false, .compositeExtension = false}) {}
};

TEST_F(X11WithoutCompositingTest, APanelRedrawsWhatAnotherWindowUncovers) {
    auto panel =
        platform().application().makePanel(Rect(100, 100, 200, 200), StyleMask::nonactivatingPanel);
    panel->setOpaque(true);
    panel->setBackgroundColor(Color{1, 0, 0, 1});
    panel->orderFront();
    // Global (100, 100) is root (100, 500) on the 800-point screen.
    const auto isRed = [&](int x, int y) {
        const auto pixel = driver().pixel(x, y);
        return pixel.red == 255 && pixel.green == 0 && pixel.blue == 0;
    };
    ASSERT_TRUE(runUntil([&] { return isRed(150, 550); }));
    const xcb_window_t popUp = driver().popUp(120, 520, 60, 60);
    EXPECT_TRUE(runUntil([&] { return !isRed(150, 550); }));
    catchUp();
    driver().destroy(popUp);
    EXPECT_TRUE(runUntil([&] { return isRed(150, 550) && isRed(121, 521) && isRed(179, 579); }));
    EXPECT_TRUE(isRed(250, 650));
}

}  // namespace
}  // namespace talvori::testing

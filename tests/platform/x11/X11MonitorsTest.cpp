#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/CoverSamples.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11TestScreens.hpp"

namespace talvori::testing {
namespace {

// Two monitors of different sizes showing one screen, as a laptop with a second display has:
// the main one (1280 x 800) at the top left, the other beside it (1024 x 768) or below it
// (1024 x 640). With a tray, it stands at the top right of the root: on the second monitor while
// that is beside the main one.
class X11MonitorsTest : public X11DesktopTest {
  protected:
    explicit X11MonitorsTest(bool tray = false)
        : X11DesktopTest({.tray = tray, .width = 2304, .height = 1440}) {}

    void SetUp() override {
        X11DesktopTest::SetUp();
        monitors = std::make_unique<X11TestScreens>(session().display());
        ASSERT_TRUE(monitors->setMonitor({"MAIN", 0, 0, 1280, 800, true}));
        ASSERT_TRUE(monitors->setMonitor(kBeside));
        ASSERT_TRUE(seen(kBeside));
    }

    static inline const X11TestScreens::Monitor kBeside{"SIDE", 1280, 0, 1024, 768, false};
    static inline const X11TestScreens::Monitor kBelow{"SIDE", 0, 800, 1024, 640, false};
    static inline const X11TestScreens::Monitor kTall{"SIDE", 1280, 0, 1024, 1440, false};

    // Moves the second monitor, as the display settings do: unplugged, then placed anew.
    bool arrange(const X11TestScreens::Monitor& side) {
        return monitors->removeMonitor(side.name) && monitors->setMonitor(side) && seen(side);
    }
    // Whether the program comes to see both monitors as they now are (the main one's bottom left
    // the origin, y up).
    bool seen(const X11TestScreens::Monitor& side) {
        const Rect expected(side.x, 800 - side.y - side.height, side.width, side.height);
        return runUntil([&] {
            const auto screens = platform().screens().screens();
            return screens.size() == 2 && screens[0].frame == Rect(0, 0, 1280, 800) &&
                   screens[1].frame == expected;
        });
    }
    static constexpr X11TestDriver::Rgb kBackdrop{0xc0, 0xc0, 0xc0};
    static constexpr X11TestDriver::Rgb kMainLit{0x20, 0x80, 0xe0};
    static constexpr X11TestDriver::Rgb kSideLit{0xe0, 0x80, 0x20};

    using ScreenPoint = X11TestDriver::Point;
    struct Windows {
        Client main;
        Client side;
        Client mainBackdrop;
        Client sideBackdrop;
    };
    // A grey backdrop on each monitor and a window of its own colour before each. Returned once
    // the screen shows them: the compositor paints in its own time, after the window manager has
    // stacked, and under load the screen can still show what was there before.
    Windows openOnBoth() {
        windows.mainBackdrop = openClient("Main backdrop", 0, 0, 1280, 800, 0xc0c0c0);
        windows.sideBackdrop = openClient("Side backdrop", 1280, 0, 1024, 768, 0xc0c0c0);
        windows.main = openClient("Main", 100, 120, 400, 300, 0x2080e0);
        windows.side = openClient("Side", 1500, 200, 400, 300, 0xe08020);
        EXPECT_TRUE(driver().showsAlone(windows.mainBackdrop.window, inMainBackdrop()));
        EXPECT_TRUE(driver().showsAlone(windows.sideBackdrop.window, inSideBackdrop()));
        EXPECT_TRUE(runUntil([&] {
            return shows(inMainBackdrop(), kBackdrop) && shows(inSideBackdrop(), kBackdrop) &&
                   shows(inMain(), kMainLit) && shows(inSide(), kSideLit);
        })) << seenPixels();
        return windows;
    }
    ScreenPoint inMain() const { return driver().middleOf(windows.main.window); }
    ScreenPoint inSide() const { return driver().middleOf(windows.side.window); }
    // Each backdrop right of and below the window before it, further than that one's frame
    // reaches.
    ScreenPoint inMainBackdrop() const {
        return driver().pointIn(windows.mainBackdrop.window, 900, 580);
    }
    ScreenPoint inSideBackdrop() const {
        return driver().pointIn(windows.sideBackdrop.window, 920, 600);
    }
    bool shows(ScreenPoint point, const X11TestDriver::Rgb& colour) const {
        const auto pixel = driver().pixel(point);
        return pixel.red == colour.red && pixel.green == colour.green && pixel.blue == colour.blue;
    }
    // The pixels the checks look at, for a failure to say what the screen showed.
    std::string seenPixels(const std::vector<ScreenPoint>& more = {}) const {
        std::string text = "seen:";
        std::vector<ScreenPoint> checked{inMain(), inMainBackdrop(), inSide(), inSideBackdrop()};
        checked.insert(checked.end(), more.begin(), more.end());
        for (const auto& point : checked) {
            const auto pixel = driver().pixel(point);
            text += " " + std::to_string(point.x) + "," + std::to_string(point.y) + "=" +
                    std::to_string(pixel.red) + "/" + std::to_string(pixel.green) + "/" +
                    std::to_string(pixel.blue);
        }
        return text;
    }
    bool dimmed(ScreenPoint point, const X11TestDriver::Rgb& lit) const {
        return isDimmed(driver().pixel(point).brightness(), lit.brightness());
    }
    bool clear(ScreenPoint point, const X11TestDriver::Rgb& lit) const {
        return driver().pixel(point).brightness() == lit.brightness();
    }

    Windows windows;

    std::unique_ptr<X11TestScreens> monitors;
};

TEST_F(X11MonitorsTest, FocusDimsBothMonitorsAndKeepsTheActiveWindowClearOnEither) {
    openOnBoth();
    const auto& [main, side] = std::pair{windows.main, windows.side};
    activate(side.window);
    auto controller = SpotlightController::create(
        SpotlightPanelManager::create(), PermissionManager::shared(), UserDefaults::inMemory());
    controller->activate();
    EXPECT_TRUE(runUntil([&] {
        return clear(inSide(), kSideLit) && dimmed(inMain(), kMainLit) &&
               dimmed(inSideBackdrop(), kBackdrop) && dimmed(inMainBackdrop(), kBackdrop);
    })) << seenPixels();

    activate(main.window);
    EXPECT_TRUE(runUntil([&] {
        return clear(inMain(), kMainLit) && dimmed(inSide(), kSideLit) &&
               dimmed(inSideBackdrop(), kBackdrop);
    })) << seenPixels();
    screenshot("monitors-beside-focus");

    // The second monitor moved below the main one while Focus is on.
    ASSERT_TRUE(arrange(kBelow));
    const auto lowerBackdrop = openClient("Lower backdrop", 0, 800, 1024, 640, 0xc0c0c0);
    const auto lower = openClient("Lower", 100, 900, 400, 300, 0x20c080);
    activate(lower.window);
    const auto inLower = driver().middleOf(lower.window);
    // Right of and below Lower, further than its frame reaches.
    const auto inLowerBackdrop = driver().pointIn(lowerBackdrop.window, 900, 480);
    // Opened while Focus is on: its colour as the program drew it.
    const X11TestDriver::Rgb lowerLit{0x20, 0xc0, 0x80};
    EXPECT_TRUE(runUntil([&] {
        return clear(inLower, lowerLit) && dimmed(inLowerBackdrop, kBackdrop) &&
               dimmed(inMain(), kMainLit);
    })) << seenPixels({inLower, inLowerBackdrop});
    screenshot("monitors-below-focus");
    controller->deactivate();
}

// Shown by the window manager, the dimming keeps the frame the program gave it, whatever frame the
// window manager would give it; taken back, it still covers both monitors below the active
// window. (Where openbox stacks it, it can only be put at the top or bottom of its layer: what that
// shows is not what is checked here.)
TEST_F(X11MonitorsTest, FocusKeepsItsFrameOnBothMonitorsWhoeverStacksThePanel) {
    // Together the monitors span the whole screen: the panel is as large as the root.
    ASSERT_TRUE(arrange(kTall));
    const auto main = openOnBoth().main;
    activate(main.window);
    auto& application = desktop().application();
    ASSERT_TRUE(runUntil([&] { return !application.isProbingStacking(); }, 12));
    application.setStacksThroughWindowManager(true);
    auto controller = SpotlightController::create(
        SpotlightPanelManager::create(), PermissionManager::shared(), UserDefaults::inMemory());
    controller->activate();
    const auto panel = [&] {
        const auto& overlay = controller->panelManager().overlayPanel();
        return overlay ? overlay->windowNumber() : xcb_window_t{0};
    };
    // The panel over both monitors, held by the window manager or not.
    const auto placed = [&](bool throughWindowManager) {
        const xcb_window_t shown = panel();
        return !application.isProbingStacking() && shown && driver().isViewable(shown) &&
               (driver().frameOf(shown) != shown) == throughWindowManager &&
               driver().rootGeometry(shown) == std::vector<int>{0, 0, 2304, 1440};
    };
    const auto rightlyDimmed = [&] {
        return placed(false) && clear(inMain(), kMainLit) && dimmed(inSide(), kSideLit) &&
               dimmed(inSideBackdrop(), kBackdrop) && dimmed(inMainBackdrop(), kBackdrop);
    };
    EXPECT_TRUE(runUntil([&] { return placed(true); }));
    // The second round begins before the first one's wait for the window manager to let go has
    // run out: a slow window manager must not have the panel shown inside its frame by it.
    for (int round = 0; round < 2; ++round) {
        application.setStacksThroughWindowManager(false);
        EXPECT_TRUE(runUntil(rightlyDimmed)) << round << " " << seenPixels();
        application.setStacksThroughWindowManager(true);
        EXPECT_TRUE(runUntil([&] { return placed(true); })) << round;
    }
    screenshot("monitors-focus-taken-back");
    controller->deactivate();
}

// A cover dragged across to the other monitor stays there at its new place; the monitor
// unplugged, the cover comes back onto the main one whole.
TEST_F(X11MonitorsTest, CoversMoveBetweenMonitorsAndComeBackWhenOneIsUnplugged) {
    openClient("Main backdrop", 0, 0, 1280, 800, 0x30a050);
    OverlayModel model = sampleCover();
    // Root 1000, 100: on the main monitor, near its right edge.
    model.frame = CodableRect::fromRect(Rect(1000, 500, 200, 200));
    model.opacity = 1;
    auto viewModel = std::make_shared<OverlayViewModel>(std::move(model));
    auto controller = OverlayWindowController::create(viewModel);
    controller->show();
    const xcb_window_t cover = controller->panel()->window().windowNumber();
    const auto isAt = [&](int x, int y, int width, int height) {
        return driver().rootGeometry(cover) == std::vector<int>{x, y, width, height};
    };
    ASSERT_TRUE(runUntil([&] { return isAt(1000, 100, 200, 200); }));

    drag(1100, 200, 1600, 300);
    EXPECT_TRUE(runUntil([&] { return isAt(1500, 200, 200, 200); }));
    EXPECT_EQ(viewModel->model.peek().frame.rect(), Rect(1500, 400, 200, 200));
    EXPECT_EQ(controller->panel()->window().screen()->frame, Rect(1280, 32, 1024, 768));
    screenshot("monitors-cover-beside");

    ASSERT_TRUE(monitors->removeMonitor("SIDE"));
    ASSERT_TRUE(runUntil([&] { return platform().screens().screens().size() == 1; }));
    EXPECT_TRUE(runUntil([&] {
        const auto frame = driver().rootGeometry(cover);
        return frame.size() == 4 && frame[0] >= 0 && frame[0] + frame[2] <= 1280 && frame[1] >= 0 &&
               frame[1] + frame[3] <= 800;
    }));
    const Rect kept = viewModel->model.peek().frame.rect();
    EXPECT_EQ(kept.intersection(Rect(0, 0, 1280, 800)), kept);
    const auto root = driver().rootGeometry(cover);
    EXPECT_TRUE(runUntil([&] {
        const auto shown = driver().pixel(root[0] + 100, root[1] + 100);
        return shown.red > 200 && shown.green < 160;
    })) << "the cover on screen where it now is";
    screenshot("monitors-cover-unplugged");
}

class X11MonitorsAppTest : public X11MonitorsTest {
  protected:
    X11MonitorsAppTest() : X11MonitorsTest(true) {}
    // Whether `window` stands wholly inside the monitor `x, width` spans, in root pixels.
    bool within(std::uint32_t window, int x, int width) const {
        const auto frame = driver().rootGeometry(window);
        return frame.size() == 4 && frame[0] >= x && frame[0] + frame[2] <= x + width;
    }
};

// New covers open on the screen the user works on; the control panel stays on its cover's screen
// and the status-bar panel on its icon's.
TEST_F(X11MonitorsAppTest, NewCoversOpenWhereTheUserWorksAndPanelsStayOnTheirScreen) {
    const auto main = openClient("Main", 100, 120, 400, 300, 0x2080e0);
    const auto side = openClient("Side", 1500, 200, 400, 300, 0xe08020);
    platform().userDefaults().set("hasCompletedOnboarding", true);
    const auto app = TalvoriApp::start();
    ASSERT_TRUE(runUntil([&] { return app->runtime()->windowManager.peek() != nullptr; }));
    const auto manager = app->runtime()->windowManager.peek();
    ASSERT_TRUE(manager);
    const auto centreOf = [](const Rect& rect) { return Point{rect.midX(), rect.midY()}; };
    // By the shortcut, the pointer on the same monitor as the active window.
    for (const auto& [window, screen] : {std::pair{side.window, 1}, std::pair{main.window, 0}}) {
        activate(window);
        const auto [x, y] = std::pair{screen == 1 ? 1700 : 300, 400};
        driver().moveMouse(x, y);
        const std::size_t before = manager->overlays.peek().size();
        driver().tap(X11TestDriver::kN, {X11TestDriver::kLeftAlt, X11TestDriver::kLeftSuper});
        ASSERT_TRUE(runUntil([&] { return manager->overlays.peek().size() == before + 1; }));
        const Rect visible = platform().screens().screens()[screen].visibleFrame;
        const auto cover = manager->overlays.peek().back();
        EXPECT_EQ(centreOf(cover->model.peek().frame.rect()), centreOf(visible)) << screen;
    }

    // Near the second monitor's right edge (root 2000, 350): no room on the right, so the panel
    // goes to the left, on the same monitor, while the user still works on the main one.
    OverlayModel record = sampleCover();
    record.frame = CodableRect::fromRect(Rect(2000, 300, 250, 150));
    manager->openCover(record);
    driver().moveMouse(2125, 425);
    auto& controls = manager->controlPanelController();
    ASSERT_TRUE(runUntil([&] { return controls.isPanelVisible(); }));
    EXPECT_TRUE(runUntil([&] { return within(controls.panel()->windowNumber(), 1280, 1024); }));
    // Its window reaches the cover; its shadow fills the gap.
    EXPECT_LE(controls.panel()->frame().maxX(), 2000);
    screenshot("monitors-control-panel");

    manager->showMenuBarPanel();
    const auto& menuBar = manager->menuBarPanelController();
    ASSERT_TRUE(runUntil([&] { return menuBar.panel() && menuBar.panel()->isVisible(); }));
    ASSERT_TRUE(menuBar.statusItemScreenAnchor());
    EXPECT_EQ(menuBar.statusItemScreenAnchor()->screen.frame, Rect(1280, 32, 1024, 768));
    EXPECT_TRUE(runUntil([&] { return within(menuBar.panel()->windowNumber(), 1280, 1024); }));
    screenshot("monitors-menu-bar-panel");

    // With no window left to take the keys, a new cover opens where the pointer is.
    manager->menuBarPanelController().hidePanel();
    driver().destroy(main.window);
    driver().destroy(side.window);
    ASSERT_TRUE(runUntil([&] {
        const auto& clients = desktop().application().clients();
        return !clients.readClient(main.window) && !clients.readClient(side.window);
    }));
    driver().moveMouse(1700, 400);
    const auto cover = manager->createCover();
    EXPECT_EQ(centreOf(cover->model.peek().frame.rect()),
              centreOf(platform().screens().screens()[1].visibleFrame));
}

}  // namespace
}  // namespace talvori::testing

// What a user sees of Focus, covers, the shortcuts and the status item on each desktop.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/AttachmentTarget.hpp"
#include "covers/CoverSamples.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "focus/SpotlightEffect.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/HotKeyModifiers.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11ServerChanges.hpp"
#include "recorder/ShortcutRecorderField.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::testing {
namespace {

using Key = X11TestDriver::Key;

class X11DesktopsTest : public X11DesktopTest,
                        public ::testing::WithParamInterface<X11TestDesktop> {
  protected:
    X11DesktopsTest() : X11DesktopTest({.desktop = GetParam(), .tray = true}, SessionBus::own) {}

    // ---- Focus
    void turnFocusOn() {
        focus = SpotlightController::create(SpotlightPanelManager::create(),
                                            PermissionManager::shared(), UserDefaults::inMemory());
        focus->activate();
    }
    xcb_window_t panel() const {
        const auto& overlay = focus->panelManager().overlayPanel();
        return overlay ? overlay->windowNumber() : xcb_window_t{0};
    }
    // What stacks among the root's children: the panel, or the frame the window manager gave it.
    xcb_window_t stackedPanel() const { return driver().frameOf(panel()); }
    // The dimming panel is on screen directly below the active client's frame.
    bool panelDirectlyBelow(xcb_window_t window) const {
        return panel() && driver().isViewable(panel()) && driver().activeWindow() == window &&
               driver().windowAbove(stackedPanel()) == driver().frameOf(window);
    }
    // The panel is below `window`, Focus is done with it, and the program has handled all the
    // server told so far.
    // Once the look at how the desktop stacks our windows has ended too: its answer may restack
    // the panel. A busy desktop is looked at again for a few seconds.
    bool settledBelow(xcb_window_t window) {
        const std::function<bool()> settled = [&] {
            return panelDirectlyBelow(window) && isIdle(*focus) &&
                   !desktop().application().isProbingStacking();
        };
        // A look at how the desktop stacks that ends just then may hand the panel to the window
        // manager, which puts it in place again: settled is what stays so once caught up.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!runUntil(settled, 12)) return false;
            catchUp();
            if (panelDirectlyBelow(window) && isIdle(*focus)) return true;
        }
        return false;
    }
    // Once, and once more where the window manager raises a window only after making it active
    // (xfwm4, icewm): a fight would be many more.
    int restacksPerSwitch() const {
        return GetParam() == X11TestDesktop::xfwm4 || GetParam() == X11TestDesktop::icewm ? 2 : 1;
    }
    int brightnessAt(X11TestDriver::Point point) const {
        return driver().pixel(point).brightness();
    }
    // The brightness once it stops changing (window managers animate windows as they show).
    int settledBrightnessAt(X11TestDriver::Point point) {
        int last = -1;
        runUntilSteady<int>([&] { return last = brightnessAt(point); });
        return last;
    }

    // ---- Covers
    void showCover(const Rect& frame) {
        OverlayModel model = sampleCover();
        model.frame = CodableRect::fromRect(frame);
        model.opacity = 1;
        cover = std::make_shared<OverlayViewModel>(std::move(model));
        coverController = OverlayWindowController::create(cover);
        coverController->show();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(coverWindow()); }));
    }
    xcb_window_t coverWindow() const { return coverController->panel()->window().windowNumber(); }
    // The user's hand moves in time: the program sees each step before the next.
    void drag(int fromX, int fromY, int toX, int toY) {
        driver().moveMouse(fromX, fromY);
        catchUp();
        driver().buttonDown();
        catchUp();
        for (int step = 1; step <= 3; ++step) {
            driver().moveMouse(fromX + (toX - fromX) * step / 3, fromY + (toY - fromY) * step / 3);
            catchUp();
        }
        driver().buttonUp();
        catchUp();
    }

    std::shared_ptr<SpotlightController> focus;
    std::shared_ptr<OverlayViewModel> cover;
    std::shared_ptr<OverlayWindowController> coverController;
};

// The active window and what stands above it stay clear, everything else is dimmed, the tray
// included never; a switch, by a pager or a click, moves the panel once, and nothing moves it
// while nothing changes.
TEST_P(X11DesktopsTest, FocusDimsAllButTheActiveWindowAndFollowsSwitchesWithoutAStackingFight) {
    const auto backdrop = openClient("Backdrop", 0, 100, 1280, 600, 0xc0c0c0);
    const auto alpha = openClient("Alpha", 100, 160, 400, 300, 0x2080e0);
    const auto beta = openClient("Beta", 700, 360, 400, 300, 0xe08020);
    activate(alpha.window);
    const auto inAlpha = driver().middleOf(alpha.window);
    const auto inBeta = driver().middleOf(beta.window);
    // Halfway down the backdrop, between Alpha's frame (up to 500 and its border) and Beta's
    // (from 700): no frame, title bar or shadow reaches there.
    const auto inBackdrop = driver().pointIn(backdrop.window, 600, 300);
    ASSERT_TRUE(driver().showsAlone(backdrop.window, inBackdrop));
    // The right end of trayer's strip at the top right, or of icewm's task bar at the bottom.
    const auto inTray = trayPoint(-5, 12);
    // The clients' own colours, as a compositor still fading them in on a slow machine can hold
    // a passing shade long enough to pass for settled.
    const int alphaBright = 0x20 + 0x80 + 0xe0, betaBright = 0xe0 + 0x80 + 0x20;
    const int backdropBright = 3 * 0xc0;
    ASSERT_TRUE(runUntil([&] {
        return brightnessAt(inAlpha) == alphaBright && brightnessAt(inBeta) == betaBright &&
               brightnessAt(inBackdrop) == backdropBright;
    }));
    const int trayBright = settledBrightnessAt(inTray);

    turnFocusOn();
    ASSERT_TRUE(runUntil([&] { return panelDirectlyBelow(alpha.window); }));
    ASSERT_TRUE(runUntil([&] {
        return isDimmed(brightnessAt(inBackdrop), backdropBright) &&
               isDimmed(brightnessAt(inBeta), betaBright);
    })) << brightnessAt(inBackdrop)
        << " " << brightnessAt(inBeta);
    // A compositor paints the panel's move below the active window a frame after it happened.
    EXPECT_TRUE(runUntil([&] { return brightnessAt(inAlpha) == alphaBright; }))
        << brightnessAt(inAlpha);
    EXPECT_EQ(brightnessAt(inTray), trayBright);
    screenshot(std::string("focus-") + nameOf(GetParam()));

    ASSERT_TRUE(settledBelow(alpha.window));
    X11ServerChanges changes(session().display(), stackedPanel());
    // A fight with the window manager would go on by itself: watched for a while.
    int restacks = 0;
    EXPECT_FALSE(runUntil([&] { return (restacks += changes.take().restacks) > 0; }, 1.5))
        << "restacked while nothing changed";

    activate(beta.window);
    EXPECT_TRUE(runUntil([&] { return panelDirectlyBelow(beta.window); }));
    EXPECT_TRUE(runUntil([&] {
        return brightnessAt(inBeta) == betaBright && isDimmed(brightnessAt(inAlpha), alphaBright);
    })) << brightnessAt(inBeta)
        << " " << brightnessAt(inAlpha);
    EXPECT_TRUE(settledBelow(beta.window));
    EXPECT_LE(changes.take().restacks, restacksPerSwitch());

    // A click on a dimmed window goes through the panel to it.
    driver().click(inAlpha.x, inAlpha.y);
    EXPECT_TRUE(runUntil([&] { return panelDirectlyBelow(alpha.window); }));
    EXPECT_TRUE(runUntil([&] { return brightnessAt(inAlpha) == alphaBright; }));
    EXPECT_TRUE(settledBelow(alpha.window));
    EXPECT_LE(changes.take().restacks, restacksPerSwitch());
    EXPECT_EQ(brightnessAt(inTray), trayBright);
    screenshot(std::string("focus-after-click-") + nameOf(GetParam()));

    const xcb_window_t shown = panel();
    focus->deactivate();
    EXPECT_TRUE(runUntil([&] { return !driver().isViewable(shown); }));
    EXPECT_TRUE(runUntil([&] { return brightnessAt(inBackdrop) == backdropBright; }));
}

// With no window active (only the desktop's own window, as a file manager shows it) Focus dims
// the whole screen but the desktop's own panels.
TEST_P(X11DesktopsTest, WithNoActiveWindowTheTrayStaysClear) {
    const auto shown =
        session().openClient("Desktop", 0, 0, 1280, 800, 0xc0c0c0,
                             X11TestSession::ClientLook{{}, true, {}, {"--type", "desktop"}});
    const auto inDesktop = driver().middleOf(shown.window);
    // The left of trayer's strip at the top right, an empty stretch of icewm's task bar.
    const auto inTray = trayPoint(GetParam() == X11TestDesktop::icewm ? 600 : 40, 12);
    ASSERT_TRUE(runUntil([&] { return brightnessAt(inDesktop) == 3 * 0xc0; }));
    const int trayBright = settledBrightnessAt(inTray);

    turnFocusOn();
    ASSERT_TRUE(runUntil([&] { return isDimmed(brightnessAt(inDesktop), 3 * 0xc0); }))
        << brightnessAt(inDesktop);
    EXPECT_EQ(settledBrightnessAt(inTray), trayBright);
    screenshot(std::string("focus-no-active-") + nameOf(GetParam()));
}

// With no window active (every one minimised), windows that open without taking the focus are
// dimmed at once, the first still once the second comes; the desktop's panels stay clear.
TEST_P(X11DesktopsTest, WindowsOpenedWhileNoneIsActiveAreDimmed) {
    const auto used = openClient("Used", 100, 160, 400, 300, 0x2080e0);
    activate(used.window);
    // The right end of trayer's strip, or of icewm's task bar, where no task's button comes.
    const auto inTray = trayPoint(-5, 12);
    ASSERT_TRUE(runUntil(
        [&] { return brightnessAt(driver().middleOf(used.window)) == 0x20 + 0x80 + 0xe0; }));
    const int trayBright = settledBrightnessAt(inTray);
    turnFocusOn();
    ASSERT_TRUE(settledBelow(used.window));
    ASSERT_EQ(session().run({"xdotool", "windowminimize", std::to_string(used.window)}), 0);
    // Mutter keeps a minimised window mapped.
    ASSERT_TRUE(runUntil([&] { return driver().activeWindow() != used.window; }));
    constexpr int kLit = 0xe0 + 0x80 + 0x20;
    std::vector<xcb_window_t> opened;
    // Where the window manager has placed them by now.
    const auto shown = [&](std::size_t index) {
        return brightnessAt(driver().middleOf(opened[index]));
    };
    for (const int x : {100, 700}) {
        opened.push_back(session()
                             .openClient("Opened", x, 300, 400, 300, 0xe08020,
                                         X11TestSession::ClientLook{{}, true, {}, {"--no-focus"}})
                             .window);
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(opened.back()); }));
        EXPECT_NE(driver().activeWindow(), opened.back());
        EXPECT_TRUE(runUntil(
            [&] { return isDimmed(shown(0), kLit) && isDimmed(shown(opened.size() - 1), kLit); },
            2))
            << shown(0) << " " << shown(opened.size() - 1);
    }
    EXPECT_EQ(settledBrightnessAt(inTray), trayBright);
    screenshot(std::string("focus-opened-inactive-") + nameOf(GetParam()));
}

// Clicking, dragging, resizing and typing into a cover leaves the user's window active and the
// Focus dim where it was.
TEST_P(X11DesktopsTest, ACoverWorkedOnLeavesTheUsersWindowActive) {
    const auto editor = openClient("Editor", 100, 160, 500, 400, 0x2080e0);
    openClient("Other", 700, 160, 500, 500, 0xe08020);
    activate(editor.window);
    turnFocusOn();
    ASSERT_TRUE(settledBelow(editor.window));
    // Over the other window: 800 - (350 + 200) = 250 from the top.
    showCover(Rect(800, 350, 300, 200));
    ASSERT_TRUE(settledBelow(editor.window));
    X11ServerChanges changes(session().display(), stackedPanel());
    // Looked at once the window manager has done what it makes of the input so far, and Focus is
    // done with that.
    const auto stillActive = [&]() -> ::testing::AssertionResult {
        if (!windowManagerCatchesUp())
            return ::testing::AssertionFailure() << "the window manager does not answer";
        if (settledBelow(editor.window)) return ::testing::AssertionSuccess();
        if (driver().activeWindow() != editor.window) {
            return ::testing::AssertionFailure() << "active: " << driver().activeWindow();
        }
        if (!panelDirectlyBelow(editor.window)) {
            return ::testing::AssertionFailure()
                   << "the dim moved: " << driver().windowAbove(stackedPanel());
        }
        return ::testing::AssertionSuccess();
    };

    driver().click(950, 350);
    EXPECT_TRUE(stillActive()) << "after a click";
    // The digit reached the cover: its opacity follows.
    driver().tap(6);
    EXPECT_TRUE(runUntil([&] { return cover->model.peek().opacity < 1; })) << "no key";
    EXPECT_TRUE(stillActive()) << "after typing";
    drag(950, 350, 990, 380);
    EXPECT_TRUE(runUntil([&] {
        return cover->model.peek().frame.rect().origin == (Point{840, 320});
    }));
    EXPECT_TRUE(stillActive()) << "after a drag";
    // The bottom right corner's handle.
    drag(840 + 296, 280 + 196, 840 + 316, 280 + 216);
    EXPECT_TRUE(runUntil([&] { return cover->model.peek().frame.rect().width() > 300; }));
    EXPECT_TRUE(stillActive()) << "after a resize";
    EXPECT_EQ(changes.take().restacks, 0) << "the panel is the window manager's: "
                                          << desktop().application().stacksThroughWindowManager();
    screenshot(std::string("cover-worked-on-") + nameOf(GetParam()));

    // A key the cover has no use for goes on once let go, here to a combination another program
    // holds, as a window manager holds its switcher's; the cover gives the keys back.
    constexpr std::uint16_t kControlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
    ASSERT_TRUE(driver().grabKey(Key::kY, kControlShift));
    // As a hand types it: the modifiers are let go after the key.
    for (const auto key : {Key::kLeftControl, Key::kLeftShift, Key::kY}) driver().keyDown(key);
    catchUp();
    driver().keyUp(Key::kY);
    EXPECT_TRUE(runUntil([&] { return driver().tookKeyPress(Key::kY); }));
    for (const auto key : {Key::kLeftShift, Key::kLeftControl}) driver().keyUp(key);
    EXPECT_FALSE(coverController->panel()->window().isKeyWindow());
    driver().ungrabKey(Key::kY, kControlShift);
    EXPECT_TRUE(stillActive()) << "after a key passed on";
    driver().click(950, 350);
    ASSERT_TRUE(runUntil([&] { return coverController->panel()->window().isKeyWindow(); }));

    // A click back in the user's window gives the keys back to it.
    const auto inEditor = driver().middleOf(editor.window);
    driver().click(inEditor.x, inEditor.y);
    EXPECT_TRUE(runUntil([&] { return !coverController->panel()->window().isKeyWindow(); }));
    // The server has let go of the keyboard too, as long before a hand's next key.
    catchUp();
    const double opacity = cover->model.peek().opacity;
    driver().tap(6);
    catchUp();
    EXPECT_EQ(cover->model.peek().opacity, opacity);
    EXPECT_TRUE(stillActive()) << "after a click back";
}

// Whether `window` carries the blur hint, which asks the compositor to blur what lies behind it.
bool asksForBlur(const X11TestDriver& driver, xcb_window_t window) {
    xcb_connection_t* connection = driver.connection();
    auto* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, driver.atom("_KDE_NET_WM_BLUR_BEHIND_REGION"),
                         XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
        nullptr);
    const bool present = reply && reply->type != XCB_ATOM_NONE;
    std::free(reply);
    return present;
}

// Glass asks for blur where the compositor offers it: KWin with its blur effect on really blurs
// the edge between two windows behind the panel; elsewhere the hint follows the offer coming and
// going.
TEST_P(X11DesktopsTest, GlassIsBlurredWhereTheCompositorOffersBlur) {
    // Neither draws a frame, whose border would stand between them as a shade of its own: their
    // contents meet between two pixels.
    const X11TestSession::ClientLook undecorated{{}, true, {}, {"--undecorated"}};
    const auto dark = openClient("Dark", 0, 100, 640, 600, 0x000000, undecorated);
    const auto light = openClient("Light", 640, 100, 640, 600, 0xffffff, undecorated);
    const auto active = openClient("Active", 500, 600, 200, 150, 0x2080e0);
    activate(active.window);
    const auto inDark = driver().pointIn(dark.window, -40, 200);
    const auto atEdge = driver().pointIn(dark.window, -3, 200);
    const auto inLight = driver().pointIn(light.window, 40, 200);
    ASSERT_TRUE(driver().showsAlone(light.window, inLight));
    ASSERT_EQ(driver().pointIn(light.window, 0, 200).x, atEdge.x + 3);
    // Once the window manager has shown the light window (Mutter may hold its first picture back).
    constexpr int undimmed = 3 * 0xff;
    ASSERT_TRUE(runUntil([&] { return brightnessAt(inLight) == undimmed; }));
    turnFocusOn();
    ASSERT_TRUE(runUntil([&] { return panelDirectlyBelow(active.window); }));
    // Dim's faint blur would show as the compositor's full one: it stays sharp.
    EXPECT_FALSE(asksForBlur(driver(), panel()));
    focus->setEffect(SpotlightEffect::glass);
    if (GetParam() == X11TestDesktop::kwin) {
        EXPECT_TRUE(runUntil([&] { return asksForBlur(driver(), panel()); }));
        // Sharp, the edge would go from the dark tint to the light one between two pixels.
        EXPECT_TRUE(runUntil([&] {
            const int dark = brightnessAt(inDark);
            const int light = brightnessAt(inLight);
            const int edge = brightnessAt(atEdge);
            return edge > dark + (light - dark) / 8 && edge < light - (light - dark) / 8;
        })) << brightnessAt(inDark)
            << " " << brightnessAt(atEdge) << " " << brightnessAt(inLight);
        screenshot("glass-blurred-kwin");
        // Blur off shows without anything else drawing: the edge is sharp again.
        focus->setBlurRadius(0);
        EXPECT_TRUE(runUntil(
            [&] {
                return brightnessAt({637, 300}) == brightnessAt({600, 300});
            },
            2))
            << brightnessAt({600, 300}) << " " << brightnessAt({637, 300});
        return;
    }
    // Nothing blurs here: Glass dims as Dim does, never as if nothing had happened.
    EXPECT_TRUE(runUntil([&] { return isDimmed(brightnessAt(inLight), undimmed); }))
        << brightnessAt(inLight) << " of " << undimmed;
    EXPECT_FALSE(asksForBlur(driver(), panel()));
    screenshot(std::string("focus-glass-without-blur-") + nameOf(GetParam()));
    driver().setWindows(driver().root(), "_KDE_NET_WM_BLUR_BEHIND_REGION", {});
    EXPECT_TRUE(runUntil([&] { return asksForBlur(driver(), panel()); }));
    xcb_delete_property(driver().connection(), driver().root(),
                        driver().atom("_KDE_NET_WM_BLUR_BEHIND_REGION"));
    driver().sync();
    EXPECT_TRUE(runUntil([&] { return !asksForBlur(driver(), panel()); }));
}

TEST_P(X11DesktopsTest, AnAttachedCoverFollowsItsWindow) {
    const auto target = openClient("Target", 500, 200, 400, 300, 0x2060c0);
    showCover(Rect(520, 350, 200, 100));
    coverController->attach(AttachmentTarget(
        RunningApplication{target.pid, "Target", "Target", ActivationPolicy::regular}));
    ASSERT_TRUE(runUntil([&] { return cover->model.peek().attachmentInfo.has_value(); }));
    const auto start = driver().rootGeometry(coverWindow());
    const auto frame = driver().rootGeometry(driver().frameOf(target.window));
    ASSERT_EQ(session().run({"xdotool", "windowmove", std::to_string(target.window), "560", "260"}),
              0);
    // However the window manager places the frame around the moved window, the cover keeps its
    // offset to it.
    EXPECT_TRUE(runUntil([&] {
        const auto moved = driver().rootGeometry(driver().frameOf(target.window));
        const auto now = driver().rootGeometry(coverWindow());
        return moved != frame && now[0] - moved[0] == start[0] - frame[0] &&
               now[1] - moved[1] == start[1] - frame[1];
    }));
}

// KWin's default shortcuts hold Meta+Alt+Up and Meta+Alt+Down (its window switching up and down):
// those two are taken and show as taken there. Every other one is ours on every desktop.
TEST_P(X11DesktopsTest, TheSevenShortcutsAreHeldAndFire) {
    using GlobalShortcuts::Name;
    using GlobalShortcuts::Shortcut;
    constexpr std::uint32_t kShiftCommand = HotKeyModifiers::shift | HotKeyModifiers::command;
    constexpr std::uint32_t kOptionCommand = HotKeyModifiers::option | HotKeyModifiers::command;
    constexpr std::uint32_t kControlOptionCommand = kOptionCommand | HotKeyModifiers::control;
    struct Entry {
        Name name;
        std::uint8_t key;
        std::uint16_t modifiers;
    };
    constexpr std::uint16_t kShift = XCB_MOD_MASK_SHIFT;
    constexpr std::uint16_t kAlt = XCB_MOD_MASK_1;
    constexpr std::uint16_t kSuper = XCB_MOD_MASK_4;
    const Entry entries[] = {
        {Name("toggleFocus", Shortcut(3, kShiftCommand)), Key::kF, kShift | kSuper},
        {Name("showPanel", Shortcut(2, kShiftCommand)), 32, kShift | kSuper},
        {Name("newCover", Shortcut(45, kOptionCommand)), Key::kN, kAlt | kSuper},
        {Name("strongerFocus", Shortcut(126, kOptionCommand)), Key::kUp, kAlt | kSuper},
        {Name("weakerFocus", Shortcut(125, kOptionCommand)), 108, kAlt | kSuper},
        {Name("moreBlur", Shortcut(126, kControlOptionCommand)), Key::kUp,
         XCB_MOD_MASK_CONTROL | kAlt | kSuper},
        {Name("lessBlur", Shortcut(125, kControlOptionCommand)), 108,
         XCB_MOD_MASK_CONTROL | kAlt | kSuper},
    };
    openClient("Editor", 100, 160, 500, 400, 0x2080e0);
    std::vector<std::string> fired;
    for (const auto& entry : entries) {
        GlobalShortcuts::onKeyDown(entry.name,
                                   [&fired, &entry] { fired.push_back(entry.name.rawValue); });
    }
    const auto heldByTheDesktop = [](const Entry& entry) {
        return GetParam() == X11TestDesktop::kwin &&
               (entry.name.rawValue == "strongerFocus" || entry.name.rawValue == "weakerFocus");
    };
    for (const auto& entry : entries) {
        if (heldByTheDesktop(entry)) {
            EXPECT_FALSE(GlobalShortcuts::isEnabled(entry.name)) << entry.name.rawValue;
            const auto shortcut = GlobalShortcuts::getShortcut(entry.name);
            EXPECT_TRUE(shortcut && shortcut->isTakenBySystem()) << entry.name.rawValue;
            continue;
        }
        EXPECT_TRUE(GlobalShortcuts::isEnabled(entry.name)) << entry.name.rawValue;
        // Held by us: another program cannot take it.
        EXPECT_FALSE(driver().grabKey(entry.key, entry.modifiers)) << entry.name.rawValue;
    }
    driver().tap(Key::kF, {Key::kLeftShift, Key::kLeftSuper});
    EXPECT_TRUE(runUntil([&] { return fired == std::vector<std::string>{"toggleFocus"}; }));
    driver().tap(Key::kUp, {Key::kLeftControl, Key::kLeftAlt, Key::kLeftSuper});
    EXPECT_TRUE(runUntil([&] { return fired.size() == 2 && fired.back() == "moreBlur"; }));
}

TEST_P(X11DesktopsTest, TheStatusItemShowsInTheTrayAndItsClickOpensThePanel) {
    auto coordinator = RuntimeCoordinator::create();
    auto manager = coordinator->startRuntime();
    auto& menuBar = manager->menuBarPanelController();
    ASSERT_TRUE(runUntil([&] {
        const auto anchor = menuBar.statusItemScreenAnchor();
        return anchor && driver().isViewable(anchor->window);
    }));
    // Docked: inside the tray's window, never the single pixel column some trays give by default.
    const xcb_window_t window = menuBar.statusItemScreenAnchor()->window;
    const auto icon = driver().rootGeometry(window);
    const auto tray = driver().rootGeometry(driver().frameOf(window));
    ASSERT_NE(driver().frameOf(window), window);
    EXPECT_GE(icon[0], tray[0]);
    EXPECT_LE(icon[0] + icon[2], tray[0] + tray[2]);
    EXPECT_GE(icon[2], 16);
    driver().click(icon[0] + icon[2] / 2, icon[1] + icon[3] / 2);
    EXPECT_TRUE(runUntil([&] {
        const auto& panel = menuBar.panel();
        return panel && panel->isVisible() && driver().isViewable(panel->windowNumber());
    }));
    screenshot(std::string("status-item-") + nameOf(GetParam()));
}

// However the keys of a recorded combination are let go, the key before its modifiers or after
// them, the recorder's popover ends on what was saved.
TEST_P(X11DesktopsTest, TheRecordersPopoverShowsTheSavedShortcutOnceItsKeysAreLetGo) {
    using ui::Query;
    const GlobalShortcuts::Name name(
        "toggleFocus",
        GlobalShortcuts::Shortcut(3, HotKeyModifiers::shift | HotKeyModifiers::command));
    const auto content = ui::PanelHost::make(ui::ShortcutRecorderField{name, nullptr});
    const auto window = platform().application().makePanel(Rect(300, 300, 320, 240),
                                                           StyleMask::titled | StyleMask::closable);
    window->setHostedContent(content);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(runUntil([&] { return window->isKeyWindow(); }));
    const auto popover = [&]() -> std::shared_ptr<ui::PanelHost> {
        for (const auto& panel : platform().application().windows()) {
            auto hosted = std::dynamic_pointer_cast<ui::PanelHost>(panel->hostedContent());
            if (panel != window && panel->isVisible() && hosted &&
                hosted->host().find(Query::byText("Close")))
                return hosted;
        }
        return nullptr;
    };
    const Rect field = content->host().find(Query::byLabel("Toggle Focus Mode shortcut")).frame();
    // Where the window manager put the window, once it has placed it and it stands still.
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(window->windowNumber()); }));
    ASSERT_TRUE(windowManagerCatchesUp(window->windowNumber()));
    ASSERT_TRUE(runUntilSteady<std::vector<int>>(
        [&] { return driver().rootGeometry(window->windowNumber()); }));
    const auto placed = driver().rootGeometry(window->windowNumber());
    driver().click(placed[0] + static_cast<int>(field.midX()),
                   placed[1] + static_cast<int>(field.midY()));
    ASSERT_TRUE(runUntil([&] { return popover() != nullptr; }));
    const auto showsSaved = [&] {
        const auto shown = popover();
        return shown && shown->host().find(Query::byText("Saved")).exists() &&
               !shown->host().find(Query::byText("Press a shortcut")).exists();
    };
    for (const bool keyFirst : {true, false}) {
        GlobalShortcuts::setShortcut(std::nullopt, name);
        driver().keyDown(Key::kLeftShift);
        driver().keyDown(Key::kLeftSuper);
        EXPECT_TRUE(runUntil([&] {
            const auto shown = popover();
            return shown && shown->host().find(Query::byText("Press a shortcut")).exists();
        }));
        driver().keyDown(Key::kF);
        if (keyFirst) driver().keyUp(Key::kF);
        driver().keyUp(Key::kLeftSuper);
        driver().keyUp(Key::kLeftShift);
        if (!keyFirst) driver().keyUp(Key::kF);
        EXPECT_TRUE(runUntil([&] {
            return GlobalShortcuts::getShortcut(name) == name.initialShortcut && showsSaved();
        })) << (keyFirst ? "key first" : "modifiers first");
        catchUp();
        EXPECT_TRUE(showsSaved()) << (keyFirst ? "key first" : "modifiers first");
    }
}

// KWin blurs behind Glass at its own strength; our windows coming and going over it leave the
// screen as it was.
class X11KWinGlassTest : public X11DesktopTest {
  protected:
    X11KWinGlassTest() : X11DesktopTest({.desktop = X11TestDesktop::kwin}) {}
    // The screen every 16 pixels, once it stops changing.
    std::vector<X11TestDriver::Rgb> steadyScreen() {
        std::vector<X11TestDriver::Rgb> grid;
        runUntilSteady<std::vector<int>>(
            [&] {
                grid.clear();
                std::vector<int> seen;
                const auto all = driver().pixels(0, 0, 1280, 800);
                for (int y = 8; y < 800; y += 16) {
                    for (int x = 8; x < 1280; x += 16) {
                        grid.push_back(all.at(static_cast<std::size_t>(y * 1280 + x)));
                        seen.push_back(grid.back().red << 16 | grid.back().green << 8 |
                                       grid.back().blue);
                    }
                }
                return seen;
            },
            0.5, 10);
        return grid;
    }
    static int differing(const std::vector<X11TestDriver::Rgb>& a,
                         const std::vector<X11TestDriver::Rgb>& b) {
        int count = 0;
        for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
            count += a[i].red != b[i].red || a[i].green != b[i].green || a[i].blue != b[i].blue;
        }
        return count +
               static_cast<int>(std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
    }
};

TEST_F(X11KWinGlassTest, AControlPanelOverGlassLeavesNoStalePicture) {
    openClient("Dark", 0, 100, 640, 600, 0x000000);
    openClient("Light", 640, 100, 640, 600, 0xffffff);
    const auto active = openClient("Active", 500, 600, 200, 150, 0x2080e0);
    activate(active.window);
    platform().userDefaults().set("hasCompletedOnboarding", true);
    const auto coordinator = RuntimeCoordinator::create();
    const auto manager = coordinator->startRuntime();
    auto& focus = manager->spotlightController();
    focus.setEffect(SpotlightEffect::glass);
    focus.activate();
    ASSERT_TRUE(runUntil([&] {
        const auto& panel = focus.panelManager().overlayPanel();
        return panel && asksForBlur(driver(), panel->windowNumber()) && isIdle(focus);
    }));
    OverlayModel record = sampleCover();
    record.frame = CodableRect::fromRect(Rect(100, 300, 250, 150));
    const auto cover = manager->openCover(record);
    driver().moveMouse(1000, 150);
    // Once the compositor shows the blur and the cover.
    ASSERT_TRUE(runUntil([&] {
        const int edge = driver().pixel(637, 300).brightness();
        const auto orange = driver().pixel(225, 425);
        return edge > 30 && edge < 3 * 0xff - 30 && orange.red > 150 && orange.blue < 80;
    }));
    const auto before = steadyScreen();
    screenshot("kwin-glass-before-control-panel");

    driver().moveMouse(225, 425);
    auto& controls = manager->controlPanelController();
    ASSERT_TRUE(runUntil([&] { return controls.isPanelVisible(); }));
    steadyScreen();
    screenshot("kwin-glass-control-panel");
    driver().moveMouse(1000, 150);
    ASSERT_TRUE(runUntil([&] { return !controls.isPanelVisible(); }));
    const auto after = steadyScreen();
    screenshot("kwin-glass-after-control-panel");
    EXPECT_EQ(differing(before, after), 0) << "points of the screen that changed";
}

INSTANTIATE_TEST_SUITE_P(Desktops, X11DesktopsTest,
                         ::testing::Values(X11TestDesktop::openbox, X11TestDesktop::xfwm4,
                                           X11TestDesktop::icewm, X11TestDesktop::kwin,
                                           X11TestDesktop::mutter),
                         [](const auto& info) { return std::string(nameOf(info.param)); });

}  // namespace
}  // namespace talvori::testing

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "controlpanel/ControlPanelAttachmentSection.hpp"
#include "covers/AttachmentTarget.hpp"
#include "covers/CoverSamples.hpp"
#include "covers/OverlayWindowController.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/HotKeyModifiers.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/desktop/WindowList.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11FocusWatch.hpp"
#include "platform/x11/harness/X11RoundTrips.hpp"

namespace talvori::testing {
namespace {

constexpr int kSteps = 40;

// What the user does often, where every answer waited for is felt: the program must act on what
// the server's events already told it, and so must what runs meanwhile on its own. (A switch of
// the active window is counted with Focus, and in the benchmark of the restack.)
enum class Path {
    coverFollowsItsWindow,
    coverDragged,
    managedPanelMoved,
    managedPanelResized,
    attachListOpened,
    newWindowActivated,
    statusPanelShown,
    panelHandedToWindowManagerAndBack,
    firstPanelPainted,
    stackingLookedAtAgain
};

std::string nameOf(const ::testing::TestParamInfo<Path>& info) {
    switch (info.param) {
        case Path::coverFollowsItsWindow:
            return "CoverFollowsItsWindow";
        case Path::coverDragged:
            return "CoverDragged";
        case Path::managedPanelMoved:
            return "ManagedPanelMoved";
        case Path::managedPanelResized:
            return "ManagedPanelResized";
        case Path::attachListOpened:
            return "AttachListOpened";
        case Path::newWindowActivated:
            return "NewWindowActivated";
        case Path::statusPanelShown:
            return "StatusPanelShown";
        case Path::panelHandedToWindowManagerAndBack:
            return "PanelHandedToWindowManagerAndBack";
        case Path::firstPanelPainted:
            return "FirstPanelPainted";
        case Path::stackingLookedAtAgain:
            return "StackingLookedAtAgain";
    }
    return "";
}

class X11FrequentPathsTest : public X11DesktopTest, public ::testing::WithParamInterface<Path> {
  protected:
    std::shared_ptr<OverlayWindowController> showCover(const Rect& frame) {
        OverlayModel model = sampleCover();
        model.opacity = 1;
        model.frame = CodableRect::fromRect(frame);
        viewModel = std::make_shared<OverlayViewModel>(std::move(model));
        auto cover = OverlayWindowController::create(viewModel);
        cover->show();
        EXPECT_TRUE(
            runUntil([&] { return driver().isViewable(cover->panel()->window().windowNumber()); }));
        return cover;
    }
    std::shared_ptr<Panel> showManagedPanel() {
        auto panel = platform().application().makePanel(
            Rect(300, 300, 320, 240),
            StyleMask::titled | StyleMask::closable | StyleMask::resizable);
        panel->makeKeyAndOrderFront();
        EXPECT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
        EXPECT_TRUE(windowManagerCatchesUp(panel->windowNumber()));
        return panel;
    }
    std::shared_ptr<Panel> showOwnPanel(const Rect& frame, int level) {
        auto panel = platform().application().makePanel(frame, StyleMask::borderless);
        panel->setLevel(level);
        panel->orderFront();
        EXPECT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
        return panel;
    }
    long placeOnServer(const Panel& panel) const {
        const auto order = driver().stacking();
        return std::find(order.begin(), order.end(), panel.windowNumber()) - order.begin();
    }
    // The panel's frame is where the server has its window (bottom-left global space: the
    // screen is 800 points high).
    bool standsWhereTheServerHasIt(const Panel& panel) const {
        const auto now = driver().rootGeometry(panel.windowNumber());
        return now.size() == 4 &&
               panel.frame() == Rect(now[0], 800 - now[1] - now[3], now[2], now[3]);
    }
    bool isAttached() const { return viewModel->model.peek().attachmentInfo.has_value(); }
    xcb_connection_t* ours() const { return desktop().connection().raw(); }

    std::shared_ptr<OverlayViewModel> viewModel;
};

TEST_P(X11FrequentPathsTest, WaitsForNoAnswerFromTheServer) {
    const auto target = openClient("Target", 300, 200, 400, 300, 0x2060c0);
    openClient("Other", 800, 300, 300, 200, 0x406020);
    // The start-up look at how the desktop stacks our windows waits for its answers by design.
    ASSERT_TRUE(runUntil([&] { return !desktop().application().isProbingStacking(); }, 12));
    switch (GetParam()) {
        case Path::coverFollowsItsWindow: {
            const auto cover = showCover(Rect(320, 350, 200, 100));
            cover->attach(
                RunningApplication{target.pid, "Target", "Target", ActivationPolicy::regular});
            ASSERT_TRUE(runUntil([&] { return isAttached(); }));
            const xcb_window_t window = cover->panel()->window().windowNumber();
            const auto start = driver().rootGeometry(window);
            catchUp();
            const X11RoundTrips trips(ours());
            for (int step = 1; step <= kSteps; ++step) {
                driver().move(target.window, 300 + 5 * step, 200 + 2 * step);
                catchUp();
            }
            EXPECT_TRUE(runUntil([&] {
                const auto now = driver().rootGeometry(window);
                return now.size() == 4 && now[0] == start[0] + 5 * kSteps &&
                       now[1] == start[1] + 2 * kSteps;
            }));
            EXPECT_EQ(trips.count(), 0U);
            break;
        }
        case Path::coverDragged: {
            const auto cover = showCover(Rect(200, 300, 300, 200));
            const xcb_window_t window = cover->panel()->window().windowNumber();
            driver().moveMouse(350, 400);
            driver().buttonDown();
            catchUp();
            const X11RoundTrips trips(ours());
            for (int step = 1; step <= kSteps; ++step) {
                driver().moveMouse(350 + step, 400 + step);
                catchUp();
            }
            const std::size_t count = trips.count();
            driver().buttonUp();
            EXPECT_TRUE(runUntil([&] {
                const auto now = driver().rootGeometry(window);
                return now.size() == 4 && now[0] == 200 + kSteps && now[1] == 300 + kSteps;
            }));
            EXPECT_EQ(count, 0U);
            break;
        }
        case Path::managedPanelMoved: {
            const auto panel = showManagedPanel();
            const xcb_window_t window = panel->windowNumber();
            // By its title bar, which the window manager drags.
            const auto frame = driver().rootGeometry(driver().frameOf(window));
            const auto content = driver().rootGeometry(window);
            ASSERT_EQ(frame.size(), 4U);
            const int x = content[0] + 100, y = (frame[1] + content[1]) / 2;
            driver().moveMouse(x, y);
            driver().buttonDown();
            ASSERT_TRUE(windowManagerCatchesUp(window));
            const X11RoundTrips trips(ours());
            for (int step = 1; step <= kSteps; ++step) {
                driver().moveMouse(x + 3 * step, y + 2 * step);
                ASSERT_TRUE(windowManagerCatchesUp(window));
            }
            const std::size_t count = trips.count();
            driver().buttonUp();
            EXPECT_TRUE(runUntil([&] {
                return driver().rootGeometry(window)[0] != content[0] &&
                       standsWhereTheServerHasIt(*panel);
            }));
            EXPECT_EQ(count, 0U);
            break;
        }
        case Path::managedPanelResized: {
            // By its top left corner, as another program asks the window manager to.
            const auto panel = showManagedPanel();
            const xcb_window_t window = panel->windowNumber();
            const auto content = driver().rootGeometry(window);
            ASSERT_EQ(content.size(), 4U);
            const X11RoundTrips trips(ours());
            for (int step = 1; step <= kSteps; ++step) {
                const std::uint32_t values[] = {static_cast<std::uint32_t>(content[0] - step),
                                                static_cast<std::uint32_t>(content[1] - step),
                                                static_cast<std::uint32_t>(content[2] + step),
                                                static_cast<std::uint32_t>(content[3] + step)};
                xcb_configure_window(driver().connection(), window,
                                     XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y |
                                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                                     values);
                ASSERT_TRUE(windowManagerCatchesUp(window));
            }
            const std::size_t count = trips.count();
            EXPECT_TRUE(runUntil([&] {
                return driver().rootGeometry(window)[2] == content[2] + kSteps &&
                       standsWhereTheServerHasIt(*panel);
            }));
            EXPECT_EQ(count, 0U);
            break;
        }
        case Path::attachListOpened: {
            const auto open = [] {
                return AttachmentTarget::windowsOf(
                    ui::ControlPanelAttachmentSection::attachableApps());
            };
            // The first look reads each program's icon; the list is read from what is kept.
            EXPECT_GE(open().size(), 2U);
            catchUp();
            const X11RoundTrips trips(ours());
            EXPECT_GE(open().size(), 2U);
            EXPECT_EQ(trips.count(), 0U);
            break;
        }
        case Path::newWindowActivated: {
            // Its frame, process and details come from events and answers not waited for.
            catchUp();
            const X11RoundTrips trips(ours());
            const auto fresh = openClient("Fresh", 200, 150, 300, 200, 0x804020);
            driver().activate(fresh.window);
            EXPECT_TRUE(runUntil([&] {
                const auto front = platform().workspace().frontmostApplication();
                return front && front->processIdentifier == fresh.pid;
            }));
            EXPECT_EQ(trips.count(), 0U);
            break;
        }
        case Path::statusPanelShown: {
            // Between panels of ours a level below and above it, shown and made key again and
            // again without waiting for the news of the showing before.
            const auto below = showOwnPanel(Rect(380, 260, 200, 150), WindowLevel::floating);
            const auto above = showOwnPanel(Rect(460, 340, 200, 150), WindowLevel::popUpMenu);
            const auto status = platform().application().makePanel(Rect(420, 300, 240, 160),
                                                                   StyleMask::nonactivatingPanel);
            status->setCanBecomeKey(true);
            status->setLevel(WindowLevel::status);
            catchUp();
            const X11RoundTrips trips(ours());
            for (int step = 0; step < kSteps / 2; ++step) {
                status->orderOut();
                status->orderFront();
                status->makeKey();
                EXPECT_EQ(platform().application().windows().front(), above);
            }
            const std::size_t count = trips.count();
            catchUp();
            EXPECT_LT(placeOnServer(*below), placeOnServer(*status));
            EXPECT_LT(placeOnServer(*status), placeOnServer(*above));
            EXPECT_TRUE(status->isKeyWindow() && driver().isKeyboardHeld());
            EXPECT_EQ(count, 0U);
            break;
        }
        case Path::panelHandedToWindowManagerAndBack: {
            // A mouse-transparent panel among other programs' windows goes to a window manager
            // that cannot keep ours between its own, and comes back when it can.
            auto& application = desktop().application();
            ASSERT_TRUE(runUntil([&] { return !application.isProbingStacking(); }));
            application.setStacksThroughWindowManager(false);
            const auto panel = showOwnPanel(Rect(200, 200, 300, 200), WindowLevel::normal);
            panel->setOpaque(true);
            panel->setIgnoresMouseEvents(true);
            const xcb_window_t window = panel->windowNumber();
            catchUp();
            const X11RoundTrips trips(ours());
            application.setStacksThroughWindowManager(true);
            EXPECT_TRUE(runUntil(
                [&] { return driver().isViewable(window) && driver().frameOf(window) != window; }));
            // Its frame is known from the events by now, as the window manager made it a while
            // ago.
            catchUp();
            application.setStacksThroughWindowManager(false);
            EXPECT_TRUE(runUntil(
                [&] { return driver().isViewable(window) && driver().frameOf(window) == window; }));
            EXPECT_EQ(trips.count(), 0U);
            break;
        }
        case Path::firstPanelPainted: {
            // The first panel the program paints, which Focus may show in the middle of a switch.
            catchUp();
            const X11RoundTrips trips(ours());
            const auto panel = showOwnPanel(Rect(300, 300, 200, 150), WindowLevel::floating);
            catchUp();
            EXPECT_EQ(trips.count(), 0U);
            break;
        }
        case Path::stackingLookedAtAgain: {
            // Whenever a window manager or compositor comes or goes, and again later on a screen
            // that did not settle: in the middle of whatever the user does then.
            auto& application = desktop().application();
            ASSERT_TRUE(runUntil([&] { return !application.isProbingStacking(); }));
            catchUp();
            const X11RoundTrips trips(ours());
            application.probeStacking();
            EXPECT_TRUE(runUntil([&] { return !application.isProbingStacking(); }, 30));
            EXPECT_EQ(trips.count(), 0U);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, X11FrequentPathsTest,
                         ::testing::Values(Path::coverFollowsItsWindow, Path::coverDragged,
                                           Path::managedPanelMoved, Path::managedPanelResized,
                                           Path::attachListOpened, Path::newWindowActivated,
                                           Path::statusPanelShown,
                                           Path::panelHandedToWindowManagerAndBack,
                                           Path::firstPanelPainted, Path::stackingLookedAtAgain),
                         nameOf);

using X11GatheredEventsTest = X11DesktopTest;

// How many times this thread has slept so far: each of the loop's wake-ups, whatever woke it.
long sleepsSoFar() {
    std::ifstream status("/proc/thread-self/status");
    const std::string field = "voluntary_ctxt_switches:";
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field)) return std::stol(line.substr(field.size()));
    }
    return -1;
}

// Work that falls due while the events after a switch are gathered sees them: they are handed
// over right before it, in the same wake-up.
TEST_F(X11GatheredEventsTest, AreHandedOverBeforeTheWorkThatEndsTheGathering) {
    auto& connection = desktop().connection();
    catchUp();
    connection.gatherEvents(0.01, 1.0);
    // Once the server has done this, the change below is told with its sequence number.
    const auto mark = xcb_get_input_focus(connection.raw());
    std::free(xcb_get_input_focus_reply(connection.raw(), mark, nullptr));
    const std::uint32_t changed = 1;
    xcb_change_property(driver().connection(), XCB_PROP_MODE_REPLACE, driver().root(),
                        driver().atom("_TALVORI_GATHERED"), XCB_ATOM_CARDINAL, 32, 1, &changed);
    driver().sync();
    std::optional<bool> seen;
    platform().runLoop().runAfter(0.03,
                                  [&] { seen = connection.lastEventSequence() >= mark.sequence; });
    // Turns that wait as long as there is nothing to do: no earlier wake-up ends the gathering.
    for (int turn = 0; turn < 20 && !seen; ++turn) platform().runLoop().runOnce(1.0);
    ASSERT_TRUE(seen.has_value());
    EXPECT_TRUE(*seen);
}

// Nothing gathers after a switch unless asked, and a switch that follows one ends a gathering at
// once instead of waiting for it.
TEST_F(X11GatheredEventsTest, AreNoReasonToHoldASwitch) {
    const auto first = openClient("First", 100, 100, 300, 200, 0x2060c0);
    const auto second = openClient("Second", 500, 300, 300, 200, 0x406020);
    auto& connection = desktop().connection();
    const auto& clients = desktop().application().clients();
    driver().activate(first.window);
    ASSERT_TRUE(runUntil([&] { return clients.activeWindow() == first.window; }));
    EXPECT_FALSE(connection.isGathering());
    // Focus off: nothing would tell of the switch.
    platform().windowList().gatherChanges(1000);
    EXPECT_FALSE(connection.isGathering());
    const auto hearing = platform().windowList().hearSwitches();
    platform().windowList().gatherChanges(1000);
    ASSERT_TRUE(connection.isGathering());
    driver().activate(second.window);
    EXPECT_TRUE(runUntil([&] { return clients.activeWindow() == second.window; }));
    EXPECT_FALSE(connection.isGathering());
}

// The user's key ends a gathering at once too, though nothing of ours listens to keys: heard on
// the second connection, which selected it once, when Focus came on. Gathered for at least as long
// as the test runs, nothing else ends it.
TEST_F(X11GatheredEventsTest, AreNoReasonToHoldTheUsersInput) {
    auto& connection = desktop().connection();
    const auto watch = x11::X11FocusWatch::open(session().display().c_str());
    ASSERT_TRUE(watch);
    const auto hearing = watch->hear(connection, {});
    catchUp();
    connection.gatherEvents(1000, 1000, watch->watch({}));
    ASSERT_TRUE(connection.isGathering());
    driver().tap(X11TestDriver::kA);
    const auto tapped = std::chrono::steady_clock::now();
    runUntil([&] { return !connection.isGathering(); }, 1);
    const auto ended = std::chrono::steady_clock::now() - tapped;
    EXPECT_FALSE(connection.isGathering());
    EXPECT_LT(ended, std::chrono::milliseconds(50));
}

// A window manager busy with other programs' windows for a long while (taking two thousand in at
// start, one burst each) wakes the idle program a few times a second, not at every burst; a
// shortcut pressed meanwhile still fires at once.
TEST_F(X11GatheredEventsTest, ABusyWindowManagerWakesTheIdleProgramAFewTimesASecond) {
    using Clock = std::chrono::steady_clock;
    const GlobalShortcuts::Name toggle(
        "toggleFocus",
        GlobalShortcuts::Shortcut(3, HotKeyModifiers::shift | HotKeyModifiers::command));
    std::optional<Clock::time_point> fired;
    GlobalShortcuts::onKeyDown(toggle, [&] { fired = Clock::now(); });
    const xcb_window_t window = driver().popUp(10, 10, 50, 50);
    catchUp();
    std::atomic<bool> done{false};
    std::thread windowManager([&] {
        X11TestDriver busy(session().display());
        const xcb_atom_t list = busy.atom("_NET_CLIENT_LIST_STACKING");
        // A window shown or hidden, and the list that names it, at each burst (not a move:
        // moves alone are read in runs of their own).
        for (std::uint32_t burst = 0; !done; ++burst) {
            if (burst % 2 == 0) {
                xcb_map_window(busy.connection(), window);
            } else {
                xcb_unmap_window(busy.connection(), window);
            }
            xcb_change_property(busy.connection(), XCB_PROP_MODE_REPLACE, busy.root(), list,
                                XCB_ATOM_WINDOW, 32, 1, &window);
            xcb_flush(busy.connection());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        busy.sync();
    });
    // Turns that sleep until something is due, as the program's own loop does (a turn that ends
    // on a deadline of its own would end what is gathered).
    auto runFor = [&](double seconds, const std::function<bool()>& until) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        for (auto now = Clock::now(); now < end && !until(); now = Clock::now()) {
            platform().runLoop().runOnce(std::chrono::duration<double>(end - now).count());
        }
    };
    const auto never = [] { return false; };
    // Once the traffic has gone on for a while.
    runFor(1, never);
    const long sleeps = sleepsSoFar();
    runFor(2, never);
    const long woken = sleepsSoFar() - sleeps;
    // Pressed as a batch has just begun to wait.
    const auto& connection = desktop().connection();
    runFor(1, [&] { return !connection.isGathering(); });
    runFor(1, [&] { return connection.isGathering(); });
    const auto tapped = Clock::now();
    driver().tap(X11TestDriver::kF, {X11TestDriver::kLeftShift, X11TestDriver::kLeftSuper});
    runFor(1, [&] { return fired.has_value(); });
    done = true;
    windowManager.join();
    std::cout << "[ figures ] " << woken << " wake-ups in 2 s of traffic\n";
    // A batch every quarter of a second, and a wake-up or two for what came between. Read as
    // it came, a wake-up for nearly every burst.
    EXPECT_LE(woken, 20);
    ASSERT_TRUE(fired.has_value());
    EXPECT_LT(*fired - tapped, std::chrono::milliseconds(50));
}

// A window manager that restacks other programs' windows one request at a time (xfwm4 raising a
// window restacks every frame) has the rest of its run read in gathered batches: every change
// is kept, in order.
TEST_F(X11GatheredEventsTest, ARunOfRestacksByAnotherProgramIsKeptInOrder) {
    const xcb_window_t windows[] = {driver().popUp(10, 10, 50, 50), driver().popUp(30, 30, 50, 50)};
    catchUp();
    std::atomic<bool> done{false};
    std::thread windowManager([&] {
        X11TestDriver restacker(session().display());
        for (int index = 0; index < 60; ++index) {
            const std::uint32_t above[] = {XCB_STACK_MODE_ABOVE};
            xcb_configure_window(restacker.connection(), windows[index % 2],
                                 XCB_CONFIG_WINDOW_STACK_MODE, above);
            xcb_flush(restacker.connection());
            std::this_thread::sleep_for(std::chrono::microseconds(150));
        }
        restacker.sync();
        done = true;
    });
    while (!done) platform().runLoop().runOnce(0.05);
    windowManager.join();
    catchUp();
    auto& clients = desktop().application().clients();
    EXPECT_EQ(clients.knownRootChildren(), clients.fetchRootChildren());
}

}  // namespace
}  // namespace talvori::testing

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "platform/Platform.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11ClientResources.hpp"
#include "platform/x11/harness/X11RoundTrips.hpp"
#include "platform/x11/harness/X11ServerChanges.hpp"
#include "platform/x11/harness/X11TestScreens.hpp"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's runtime has it; g++ ships no header declaring it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace talvori::testing {
namespace {

class X11FocusTest : public X11DesktopTest {
  protected:
    using X11DesktopTest::X11DesktopTest;

    void turnOn() {
        controller = SpotlightController::create(
            SpotlightPanelManager::create(), PermissionManager::shared(), UserDefaults::inMemory());
        controller->activate();
    }
    xcb_window_t panel() const {
        const auto& overlay = controller->panelManager().overlayPanel();
        return overlay ? overlay->windowNumber() : xcb_window_t{0};
    }
    // The window manager has `window` on top of its stacking list, and the dimming panel is
    // directly below its frame in the server's stacking order.
    bool panelDirectlyBelow(xcb_window_t window) const {
        const auto stacking = driver().cardinals(driver().root(), "_NET_CLIENT_LIST_STACKING");
        return panel() && driver().isViewable(panel()) && !stacking.empty() &&
               stacking.back() == window &&
               driver().windowAbove(panel()) == driver().frameOf(window);
    }
    // The panel is directly below `window` and Focus is done with it.
    // Once the look at how the desktop stacks our windows has ended too: its answer may restack
    // the panel. A busy desktop is looked at again for a few seconds.
    bool settledBelow(xcb_window_t window) {
        return runUntil(
            [&] {
                return panelDirectlyBelow(window) && isIdle(*controller) &&
                       !desktop().application().isProbingStacking();
            },
            12);
    }

    // The screen's brightness at `point`, or at a point of a window's content taken when read
    // (windows move as window managers come and go).
    int brightnessAt(X11TestDriver::Point point) const {
        return driver().pixel(point).brightness();
    }
    int brightnessIn(xcb_window_t window) const { return brightnessAt(driver().middleOf(window)); }

    std::shared_ptr<SpotlightController> controller;
};

// The backdrop behind Alpha (100, 120) and Beta (700, 380), each 400 x 300, between them, where
// neither's frame reaches.
X11TestDriver::Point betweenAlphaAndBeta(const X11TestDriver& driver, xcb_window_t backdrop) {
    return driver.pointIn(backdrop, 600, 200);
}

TEST_F(X11FocusTest, DimsAllButTheActiveWindowFollowsActivationLetsClicksThroughAndGoesAway) {
    const auto backdrop = openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    const auto beta = openClient("Beta", 700, 380, 400, 300, 0xe08020);
    activate(alpha.window);
    const auto outsidePoint = betweenAlphaAndBeta(driver(), backdrop.window);
    ASSERT_TRUE(driver().showsAlone(backdrop.window, outsidePoint));
    const int inside = brightnessIn(alpha.window);
    const int outside = brightnessAt(outsidePoint);

    turnOn();
    ASSERT_TRUE(runUntil([&] { return panelDirectlyBelow(alpha.window); }));
    // The panel fades in: everything outside the active window darkens, the window does not.
    ASSERT_TRUE(runUntil([&] { return isDimmed(brightnessAt(outsidePoint), outside); }));
    ASSERT_TRUE(settledBelow(alpha.window));
    EXPECT_EQ(brightnessIn(alpha.window), inside);
    EXPECT_LT(brightnessIn(beta.window), brightnessIn(alpha.window));
    screenshot("focus-dimming");

    activate(beta.window);
    EXPECT_TRUE(runUntil([&] { return panelDirectlyBelow(beta.window); }));
    // A second look that finds the panel in place sends nothing.
    EXPECT_TRUE(settledBelow(beta.window));
    xcb_connection_t* ours = desktop().connection().raw();
    const unsigned before = xcb_no_operation(ours).sequence;
    controller->panelManager().orderBelow(beta.window);
    EXPECT_EQ(xcb_no_operation(ours).sequence, before + 1);

    // A click on a dimmed window goes through the panel: the window manager activates it.
    const auto inAlpha = driver().pointIn(alpha.window, 50, 40);
    driver().click(inAlpha.x, inAlpha.y);
    EXPECT_TRUE(runUntil([&] { return driver().activeWindow() == alpha.window; }));
    EXPECT_TRUE(runUntil([&] { return panelDirectlyBelow(alpha.window); }));

    const xcb_window_t shown = panel();
    controller->deactivate();
    EXPECT_TRUE(runUntil([&] { return !driver().isViewable(shown); }));
    EXPECT_TRUE(runUntil([&] { return brightnessAt(outsidePoint) == outside; }));
}

// A switch is followed from what the events told: the program waits for no answer of the
// server, restacks the panel once however often it looks again, and its cross-fade makes and
// destroys no window once its few small panels exist.
TEST_F(X11FocusTest, FollowsSwitchesWithoutWaitingRestackingOnceOrMakingWindows) {
    openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    const auto beta = openClient("Beta", 700, 380, 400, 300, 0xe08020);
    activate(alpha.window);
    turnOn();
    // The compositor fades whole windows: the cross-fade's panels are drawn once.
    EXPECT_TRUE(runUntil([&] { return desktop().application().compositorFadesByOpacity(); }));
    bool reduceMotion = true;
    controller->panelManager().isReducedMotion = [&] { return reduceMotion; };
    ASSERT_TRUE(settledBelow(alpha.window));
    catchUp();
    X11ServerChanges changes(session().display(), panel());
    auto switchTo = [&](xcb_window_t window, const X11RoundTrips& trips) {
        driver().activate(window);
        EXPECT_TRUE(settledBelow(window));
        EXPECT_EQ(trips.count(), 0U);
    };
    {
        const X11RoundTrips trips(desktop().connection().raw());
        switchTo(beta.window, trips);
    }
    EXPECT_EQ(changes.take().restacks, 1);

    // Dim's cross-fade: the first makes its small panel, the next ones take it again.
    reduceMotion = false;
    switchTo(alpha.window, X11RoundTrips(nullptr));
    catchUp();
    changes.take();
    const X11RoundTrips trips(desktop().connection().raw());
    switchTo(beta.window, trips);
    switchTo(alpha.window, trips);
    const auto counts = changes.take();
    EXPECT_EQ(counts.restacks, 2);
    EXPECT_EQ(counts.created, 0);
    EXPECT_EQ(counts.destroyed, 0);
}

// Switches that pile up while the program is busy are followed to the newest only: the panel ends
// below the window active last after a restack or a few, and no window is made per switch.
TEST_F(X11FocusTest, SwitchesPiledUpWhileBusyAreFollowedToTheNewestOnly) {
    openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    const auto beta = openClient("Beta", 700, 380, 400, 300, 0xe08020);
    activate(alpha.window);
    turnOn();
    ASSERT_TRUE(settledBelow(alpha.window));
    X11ServerChanges changes(session().display(), panel());
    constexpr int kSwitches = 200;
    for (int index = 0; index < kSwitches; ++index) {
        driver().activate(index % 2 ? alpha.window : beta.window);
    }
    // The program is busy meanwhile: the window manager works through the requests and settles
    // on either window before the program reads a thing.
    xcb_window_t settled = XCB_WINDOW_NONE;
    for (int still = 0; still < 30;) {
        const xcb_window_t active = driver().activeWindow();
        still = active == settled ? still + 1 : 0;
        settled = active;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(settledBelow(settled));
    const auto counts = changes.take();
    // A loaded machine may read the pile in a few batches, each followed by its restack; what
    // must never happen is one per switch.
    EXPECT_LE(counts.restacks, 4);
    EXPECT_LE(counts.created - counts.destroyed,
              static_cast<int>(SpotlightPanelManager::kKeptSmallPanels));
}

// The desktop changes under Focus: the screen grows, the window manager is killed and another
// takes over with frames of its own, the active window names a desktop that does not exist. The
// active window stays clear and the rest dimmed, with no switch needed to put it right.
// With no display showing the screen, the root alone tells its size: the dimming follows it as
// it grows.
TEST_F(X11FocusTest, TheDimmingGrowsWithTheRootWhenNoOutputShowsIt) {
    X11TestScreens screens(session().display());
    ASSERT_TRUE(screens.resizeRootAlone(1024, 640));
    ASSERT_TRUE(runUntil(
        [] { return platform().screens().screens().front().frame == Rect(0, 0, 1024, 640); }));
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    turnOn();
    ASSERT_TRUE(runUntil([&] { return panelDirectlyBelow(alpha.window); }));
    EXPECT_EQ(driver().rootGeometry(panel()), (std::vector<int>{0, 0, 1024, 640}));

    ASSERT_TRUE(screens.resizeRootAlone(1280, 800));
    EXPECT_TRUE(runUntil([&] {
        return driver().rootGeometry(panel()) == std::vector<int>{0, 0, 1280, 800};
    }));
}

TEST_F(X11FocusTest, KeepsTheActiveWindowClearAsTheDesktopChangesUnderIt) {
    X11TestScreens screens(session().display());
    ASSERT_TRUE(screens.resize(1024, 640));
    const auto behind = openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    const auto beta = openClient("Beta", 600, 300, 300, 200, 0xe08020);
    activate(alpha.window);
    // Below Beta, further than its frame reaches, on the small screen; taken as it is read, as
    // window managers come and go and frame the windows anew.
    const auto inBackdrop = [&] { return driver().pointIn(behind.window, 940, 580); };
    ASSERT_TRUE(driver().showsAlone(behind.window, inBackdrop()));
    const auto backdrop = brightnessAt(inBackdrop());
    const auto alphaLit = brightnessIn(alpha.window);
    const auto betaLit = brightnessIn(beta.window);
    turnOn();
    ASSERT_TRUE(settledBelow(alpha.window));
    const auto dimmed = [&](xcb_window_t window, double lit) {
        return isDimmed(brightnessIn(window), lit);
    };
    const auto focusedOn = [&](xcb_window_t window, double lit) {
        return brightnessIn(window) == lit && isDimmed(brightnessAt(inBackdrop()), backdrop);
    };

    ASSERT_TRUE(screens.resize(1280, 800));
    EXPECT_TRUE(runUntil([&] {
        return isDimmed(brightnessAt(driver().pointIn(behind.window, 1200, 700)), backdrop);
    })) << "the new strip";
    EXPECT_TRUE(runUntil([&] { return focusedOn(alpha.window, alphaLit); }));

    // Without a window manager the windows are the root's own again, each put on top.
    ASSERT_GE(session().end(session().windowManagerPid(), SIGKILL, 5), 0);
    ASSERT_TRUE(runUntil([&] { return driver().frameOf(alpha.window) == alpha.window; }));
    // Followed from the events themselves, not left to a later look.
    catchUp();
    EXPECT_EQ(driver().windowAbove(panel()), alpha.window);
    EXPECT_TRUE(runUntil([&] { return focusedOn(alpha.window, alphaLit); }));
    ASSERT_TRUE(session().restartWindowManager());
    EXPECT_TRUE(runUntil([&] {
        const xcb_window_t frame = driver().frameOf(alpha.window);
        return frame != alpha.window && driver().windowAbove(panel()) == frame;
    }));
    // The new window manager may stack the other window above it: that one is left clear.
    EXPECT_TRUE(runUntil([&] { return focusedOn(alpha.window, alphaLit); }));

    const std::uint32_t nowhere = 0xFFFFFFF0;
    xcb_change_property(driver().connection(), XCB_PROP_MODE_REPLACE, beta.window,
                        driver().atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1, &nowhere);
    driver().sync();
    catchUp();
    activate(beta.window);
    EXPECT_TRUE(runUntil([&] { return panelDirectlyBelow(beta.window); }));
    EXPECT_TRUE(runUntil([&] { return focusedOn(beta.window, betaLit); }));
    EXPECT_TRUE(dimmed(alpha.window, alphaLit));
    screenshot("focus-desktop-changed");
}

// Bytes the program has allocated and not freed (the sanitizer's count in checked builds, where
// freed memory waits in quarantine and the resident size says little).
std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// The resident size, which the checked builds' quarantine inflates: for the figures only.
std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

std::size_t openFiles() {
    std::error_code error;
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd", error), {}));
}

struct Measured {
    X11ClientResources held;
    std::size_t heap = 0;
    std::size_t resident = 0;
    std::size_t files = 0;
};

std::ostream& operator<<(std::ostream& out, const Measured& measured) {
    return out << "windows " << measured.held.windows << ", resources " << measured.held.total
               << ", heap " << measured.heap / 1024 << " KiB, resident "
               << measured.resident / (1024 * 1024) << " MiB, files " << measured.files;
}

// Switches as fast as a user's clicks and a pager's requests come, with the processor busy
// beside them, leave nothing behind once they stop: the same windows, server resources, memory
// and files as before, the panel below the window active last, the rest dimmed. Longer bursts:
// TALVORI_FOCUS_BURST=20000.
TEST_F(X11FocusTest, BurstsOfSwitchesLeaveNothingBehind) {
    const char* asked = std::getenv("TALVORI_FOCUS_BURST");
    const int switches = asked ? std::max(2, std::atoi(asked)) : 2000;
    openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    const auto beta = openClient("Beta", 700, 380, 400, 300, 0xe08020);
    activate(alpha.window);
    const auto alphaLit = brightnessIn(alpha.window);
    const auto betaLit = brightnessIn(beta.window);
    const auto inAlpha = driver().middleOf(alpha.window);
    const auto inBeta = driver().middleOf(beta.window);
    turnOn();
    ASSERT_TRUE(runUntil([&] { return panelDirectlyBelow(alpha.window); }));
    // Its first cross-fades make the small panels it keeps.
    activate(beta.window);
    activate(alpha.window);
    ASSERT_TRUE(settledBelow(alpha.window));
    catchUp();
    logs().clear();
    xcb_connection_t* ours = desktop().connection().raw();
    const auto measure = [&] {
        return Measured{X11ClientResources::of(driver(), ours), heapInUse(), residentBytes(),
                        openFiles()};
    };
    const Measured before = measure();

    std::atomic<bool> bursting{true};
    std::vector<std::thread> load;
    for (int busy = 0; busy < 2; ++busy) {
        load.emplace_back([&] {
            while (bursting) std::this_thread::yield();
        });
    }
    std::thread user([&] {
        X11TestDriver hands(session().display());
        for (int index = 0; index < switches; ++index) {
            const bool toAlpha = index % 2 == 1;
            if (index % 4 < 2) {
                hands.activate(toAlpha ? alpha.window : beta.window);
            } else {
                const auto at = toAlpha ? inAlpha : inBeta;
                hands.click(at.x, at.y);
            }
        }
        hands.sync();
        bursting = false;
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(runUntil([&] { return !bursting; }, 300));
    user.join();
    for (auto& thread : load) thread.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const Measured justAfter = measure();
    // The window manager may still be working through the requests: the last one wins.
    xcb_window_t settled = XCB_WINDOW_NONE;
    runUntilSteady<xcb_window_t>([&] { return settled = driver().activeWindow(); }, 0.5, 60);
    // Openbox sometimes ends such a burst with no window active at all: one more request then.
    if (settled != alpha.window) activate(alpha.window);
    EXPECT_TRUE(settledBelow(alpha.window));
    catchUp();
    logs().clear();
    const Measured after = measure();
    std::cout << switches << " switches in " << seconds << " s; before / just after / settled:\n"
              << "  " << before << "\n  " << justAfter << "\n  " << after << "\n";

    EXPECT_LE(after.held.windows, before.held.windows);
    EXPECT_LE(after.held.total, before.held.total + 10);
    EXPECT_LE(after.heap, before.heap + 5 * 1024 * 1024);
    EXPECT_LE(after.files, before.files);
    EXPECT_TRUE(runUntil([&] { return panelDirectlyBelow(alpha.window); }));
    // The compositor draws what the server has at its own pace.
    EXPECT_TRUE(runUntil([&] {
        return brightnessIn(alpha.window) == alphaLit &&
               isDimmed(brightnessIn(beta.window), betaLit);
    })) << brightnessIn(alpha.window)
        << " " << brightnessIn(beta.window);
    screenshot("focus-after-burst");
}

class X11FocusWithoutCompositorTest : public X11FocusTest {
  protected:
    X11FocusWithoutCompositorTest() : X11FocusTest({.windowManager = true, .compositor = false}) {}
};

TEST_F(X11FocusWithoutCompositorTest, KeepsTheScreenUndimmedSaysWhyOnceAndDimsOnceOneStarts) {
    const auto backdrop = openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
    const auto alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
    const auto outsidePoint = betweenAlphaAndBeta(driver(), backdrop.window);
    ASSERT_TRUE(driver().showsAlone(backdrop.window, outsidePoint));
    const int outside = brightnessAt(outsidePoint);
    turnOn();
    ASSERT_TRUE(runUntil([&] { return isIdle(*controller); }));
    catchUp();
    // Without blending the panel would black out the screen: it stays off.
    EXPECT_TRUE(controller->isActive());
    EXPECT_FALSE(driver().isViewable(panel()));
    EXPECT_EQ(brightnessAt(outsidePoint), outside);
    controller->deactivate();
    turnOn();
    ASSERT_TRUE(runUntil([&] { return isIdle(*controller); }));
    catchUp();
    int notices = 0;
    for (const auto& message : logs().messages()) {
        if (message.find("No compositing manager") != std::string::npos) ++notices;
    }
    EXPECT_EQ(notices, 1);

    // The choice was kept: a compositing manager that starts brings the dimming.
    ASSERT_TRUE(session().startCompositor()) << session().error();
    EXPECT_TRUE(runUntil([&] {
        return driver().isViewable(panel()) && isDimmed(brightnessAt(outsidePoint), outside);
    }));
    (void)alpha;
}

}  // namespace
}  // namespace talvori::testing

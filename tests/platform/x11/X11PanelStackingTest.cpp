#include <time.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11Panel.hpp"
#include "platform/x11/X11StackingLifecycle.hpp"
#include "platform/x11/harness/X11WindowManagerStandIn.hpp"

namespace talvori::testing {
namespace {

using Lifecycle = x11::X11StackingLifecycle;

using StandIn = X11WindowManagerStandIn;

std::uint8_t typeOf(const xcb_generic_event_t& event) {
    return event.response_type & 0x7F;
}

double processSeconds() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

// Without a window manager, windows are their own frames: another program restacks them as it
// likes, and the driver publishes the client list as a window manager would.
class X11PanelStackingTest : public X11DesktopTest {
  protected:
    X11PanelStackingTest() : X11DesktopTest({.windowManager = false, .compositor = false}) {}

    void SetUp() override {
        X11DesktopTest::SetUp();
        target = session().openClient("Target", 100, 100, 400, 300, 0x3366cc);
        other = session().openClient("Other", 300, 200, 400, 300, 0xcc6633);
        ASSERT_TRUE(target.window && other.window);
        driver().setWindows(driver().root(), "_NET_CLIENT_LIST", {target.window, other.window});
        ASSERT_TRUE(runUntil([&] {
            return platform().windowList().copyWindowInfo(WindowListOption::all)->size() == 2U;
        }));
    }
    std::shared_ptr<Panel> makePanel() {
        auto panel = platform().application().makePanel(Rect(150, 400, 100, 100),
                                                        StyleMask::nonactivatingPanel);
        panel->setOpaque(true);
        return panel;
    }
    bool directlyBelowTarget(const Panel& panel) const {
        return driver().windowAbove(panel.windowNumber()) == target.window;
    }

    Client target;
    Client other;
};

// Another program that puts a window back above the panel each time the panel moves would have
// it restacked as fast as the two can answer: another client, or the window manager itself (which
// also carries out what the panel asks of it, then undoes it), whether we stack the panel or it
// does, and whether the panel stands below a window or above all. The panel gets a burst, then a
// few restacks a second, with a few requests each; the program falls idle, and once the fight ends
// the panel is back in place within a second.
struct Fighter {
    const char* name;
    bool windowManager;
    bool stacksPanel;
    // A panel of a raised level, which a window manager (or a dock) keeps its window above: it
    // puts its window directly above the panel, at the top.
    bool raised = false;
};

class X11RestackFightTest : public X11PanelStackingTest,
                            public ::testing::WithParamInterface<Fighter> {
  protected:
    // Requests sent on the program's connection so far.
    std::uint32_t requestsSent() {
        return xcb_no_operation(desktop().application().connection().raw()).sequence;
    }
};

TEST_P(X11RestackFightTest, GetsAFewRestacksASecond) {
    const Fighter& fighter = GetParam();
    StandIn standIn(
        session().display(),
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
            (fighter.windowManager ? std::uint32_t{XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT} : 0U));
    catchUp();
    if (fighter.stacksPanel) desktop().application().setStacksThroughWindowManager(true);
    auto panel = makePanel();
    panel->setIgnoresMouseEvents(true);
    const xcb_window_t ours = panel->windowNumber();
    int restacks = 0;
    bool fighting = false;
    const auto fightBack = [&] { standIn.restack(other.window, ours, XCB_STACK_MODE_ABOVE); };
    const auto fight = [&] {
        standIn.answer([&](const xcb_generic_event_t& event) {
            if (fighter.windowManager) standIn.manage(event, [] { return true; });
            if (typeOf(event) != XCB_CONFIGURE_NOTIFY) return;
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.window != ours) return;
            ++restacks;
            if (fighting) fightBack();
        });
        return false;
    };
    const auto inPlace = [&] {
        return fighter.raised ? driver().windowAbove(ours) == XCB_WINDOW_NONE
                              : directlyBelowTarget(*panel);
    };
    if (fighter.raised) {
        panel->setLevel(WindowLevel::floating);
        panel->orderFront();
    } else {
        ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::below, target.window));
    }
    ASSERT_TRUE(runUntil([&] { return fight() || inPlace(); }));
    ASSERT_EQ(desktop().application().panel(ours)->isStackedByWindowManager(), fighter.stacksPanel);
    runUntil(fight, 0.2);
    restacks = 0;
    fighting = true;
    fightBack();
    constexpr double kFight = 3;
    runUntil(fight, 1);
    const int early = restacks;
    const std::uint32_t requestsBefore = requestsSent();
    const double cpuBefore = processSeconds();
    runUntil(fight, kFight - 1);
    const double cpu = processSeconds() - cpuBefore;
    const double requests = static_cast<double>(requestsSent() - requestsBefore) / (kFight - 1);
    // A few a second after the burst (and not given up on: the fight may end).
    EXPECT_LE(restacks - early, 5 * (kFight - 1));
    EXPECT_LE(restacks, Lifecycle::kRestackBurst + 5 * kFight);
    EXPECT_GT(restacks, Lifecycle::kRestackBurst);
    EXPECT_LE(requests, 50);

    fighting = false;
    const auto ended = std::chrono::steady_clock::now();
    EXPECT_TRUE(runUntil([&] { return fight() || inPlace(); }, 1));
    const std::chrono::duration<double> back = std::chrono::steady_clock::now() - ended;
    std::cout << "restacks in " << kFight << " s of fighting: " << restacks << " (first second "
              << early << "); over the last " << kFight - 1 << " s: " << requests << " requests/s, "
              << 100 * cpu / (kFight - 1) << " % of a core; in place " << back.count()
              << " s after the fight ended\n";
}

INSTANTIATE_TEST_SUITE_P(X11PanelStacking, X11RestackFightTest,
                         ::testing::Values(Fighter{"AnotherClient", false, false},
                                           Fighter{"WindowManager", true, false},
                                           Fighter{"WindowManagerStackingThePanel", true, true},
                                           Fighter{"WindowManagerOnTop", true, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A window manager that stacks the panel may drop a restack request: it is asked again until the
// frame stands in place, a few times at most.
struct Dropped {
    const char* name;
    int dropped;
    int asked;
    bool inPlace;
};

class X11UnansweredRestackTest : public X11PanelStackingTest,
                                 public ::testing::WithParamInterface<Dropped> {};

TEST_P(X11UnansweredRestackTest, IsAskedAgainAFewTimes) {
    // Plays a window manager that stacks the panel: maps and configures as asked, and carries out
    // restack requests past the dropped ones.
    StandIn manager(session().display(),
                    XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    int asked = 0;
    const auto manage = [&] {
        manager.answer([&](const xcb_generic_event_t& event) {
            manager.manage(event, [&] { return ++asked > GetParam().dropped; });
        });
        return false;
    };
    catchUp();
    desktop().application().setStacksThroughWindowManager(true);
    auto panel = makePanel();
    panel->setIgnoresMouseEvents(true);
    const auto asking = std::chrono::steady_clock::now();
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::below, target.window));
    ASSERT_TRUE(desktop().application().panel(panel->windowNumber())->isStackedByWindowManager());
    const bool inPlace = runUntil(
        [&] { return manage() || (asked > GetParam().dropped && directlyBelowTarget(*panel)); }, 3);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - asking;
    EXPECT_EQ(inPlace, GetParam().inPlace);
    runUntil(manage, GetParam().inPlace ? 0.2 : 0.5);
    EXPECT_EQ(asked, GetParam().asked);
    if (inPlace) std::cout << "in place " << took.count() << " s after the first request\n";
}

INSTANTIATE_TEST_SUITE_P(
    X11PanelStacking, X11UnansweredRestackTest,
    ::testing::Values(Dropped{"FirstDropped", 1, 2, true},
                      Dropped{"AllDropped", 100, 1 + Lifecycle::kUnansweredRequestRetries, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvori::testing

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "platform/x11/harness/X11TestWatcher.hpp"

namespace talvori::testing {
namespace {

// The watcher, served by the program's own loop as the test runs it.
class TestWatcher : public X11TestWatcher {
  public:
    explicit TestWatcher(const X11TestBus& bus)
        : X11TestWatcher(bus),
          watch_(platform().runLoop().watch(descriptor(), POLLIN, [this](short) { process(); })) {}

  private:
    std::shared_ptr<FileWatch> watch_;
};

class X11StatusItemTest : public X11DesktopTest {
  protected:
    explicit X11StatusItemTest(bool trayAtBottom = false)
        : X11DesktopTest({.tray = true, .trayAtBottom = trayAtBottom}) {}
    void SetUp() override {
        ASSERT_TRUE(session().isReady()) << session().error();
        bus = std::make_unique<X11TestBus>(session());
        ASSERT_TRUE(bus->isReady()) << bus->error();
        X11DesktopTest::SetUp();
    }
    void startRuntime() {
        coordinator = RuntimeCoordinator::create();
        manager = coordinator->startRuntime();
    }
    MenuBarPanelController& menuBar() const { return manager->menuBarPanelController(); }
    bool panelIsOpen() const {
        const auto& panel = menuBar().panel();
        return panel && panel->isVisible() && driver().isViewable(panel->windowNumber());
    }
    bool panelIsClosed() const {
        const auto& panel = menuBar().panel();
        return panel && !panel->isVisible() && !driver().isViewable(panel->windowNumber());
    }
    // x, y, width, height of the open panel in root coordinates.
    std::vector<int> panelGeometry() const {
        return driver().rootGeometry(menuBar().panel()->windowNumber());
    }
    std::unique_ptr<X11TestBus> bus;
    std::shared_ptr<RuntimeCoordinator> coordinator;
    std::shared_ptr<WindowManager> manager;
};

TEST_F(X11StatusItemTest, RegistersWithTheWatcherAndItsActivationTogglesThePanelBelowThePoint) {
    // The tray stands for the panel that hosts the item: a dock that takes no focus.
    TestWatcher watcher(*bus);
    startRuntime();
    ASSERT_TRUE(runUntil(
        [&] { return watcher.items().size() == 1 && menuBar().statusItem()->isVisible(); }));
    const std::string item = watcher.items().front();
    EXPECT_EQ(item.rfind("org.kde.StatusNotifierItem-", 0), 0U);
    // The host tells nothing of where the item is until it is clicked.
    EXPECT_FALSE(menuBar().statusItemScreenAnchor());

    watcher.activate(item, 1200, 12);
    ASSERT_TRUE(runUntil([&] { return panelIsOpen(); }));
    const auto frame = panelGeometry();
    EXPECT_GT(frame[1], 12);
    EXPECT_LT(frame[1], 40);
    EXPECT_LE(frame[0], 1200);
    EXPECT_GE(frame[0] + frame[2], 1200);
    // Shown by the watcher's host, the item stays out of the tray.
    EXPECT_EQ(menuBar().statusItem()->button()->windowNumber(),
              menuBar().statusItemScreenAnchor()->window);
    EXPECT_FALSE(driver().isViewable(menuBar().statusItemScreenAnchor()->window));
    screenshot("status-item-activated");

    // A second click on the item closes the panel: the press itself, which reaches us as anyone
    // else's click, does not close it first only for the activation to open it again.
    driver().click(1200, 12);
    catchUp();
    watcher.activate(item, 1200, 12);
    EXPECT_TRUE(runUntil([&] { return watcher.answeredActivations() == 2; }));
    catchUp();
    EXPECT_TRUE(panelIsClosed());
    // And open again with the next.
    watcher.activate(item, 1200, 12);
    EXPECT_TRUE(runUntil([&] { return panelIsOpen(); }));
}

TEST_F(X11StatusItemTest, WithoutAWatcherItDocksInTheTrayWhereClicksToggleThePanelUntilOneComes) {
    startRuntime();
    ASSERT_TRUE(runUntil([&] { return menuBar().statusItemScreenAnchor().has_value(); }));
    const auto anchor = *menuBar().statusItemScreenAnchor();
    const auto icon = driver().rootGeometry(anchor.window);
    ASSERT_EQ(icon.size(), 4U);
    // In the tray at the top right; never the single pixel column some trays give by default.
    EXPECT_GE(icon[0], 1280 - 120);
    EXPECT_LT(icon[1], 24);
    EXPECT_GE(icon[2], 16);
    screenshot("status-item-tray");

    const int x = icon[0] + icon[2] / 2;
    const int y = icon[1] + icon[3] / 2;
    driver().click(x, y);
    ASSERT_TRUE(runUntil([&] { return panelIsOpen(); }));
    EXPECT_GE(panelGeometry()[1], icon[1] + icon[3]);
    driver().click(x, y);
    EXPECT_TRUE(runUntil([&] { return panelIsClosed(); }));
    catchUp();
    EXPECT_TRUE(panelIsClosed());

    // A desktop that starts hosting items over D-Bus takes the item out of the tray.
    TestWatcher watcher(*bus);
    EXPECT_TRUE(runUntil([&] { return watcher.items().size() == 1; }));
    EXPECT_TRUE(runUntil([&] { return !driver().isViewable(anchor.window); }));
}

// The session bus's daemon ends under the program (a crash, a logout half done) and starts again
// at the same address.
TEST_F(X11StatusItemTest, ALostBusLeavesTheItemInTheTrayAndOneThatComesBackHostsItAgain) {
    auto watcher = std::make_unique<TestWatcher>(*bus);
    startRuntime();
    ASSERT_TRUE(runUntil([&] { return watcher->items().size() == 1; }));

    bus->stop();
    ASSERT_TRUE(runUntil([&] {
        const auto anchor = menuBar().statusItemScreenAnchor();
        return anchor && driver().isViewable(anchor->window);
    }));
    const xcb_window_t docked = menuBar().statusItemScreenAnchor()->window;
    watcher.reset();
    // The loop polls at least once more.
    catchUp();
    // Its descriptor left the loop before the bus closed it, never polled once closed.
    const auto messages = logs().messages();
    EXPECT_TRUE(std::none_of(messages.begin(), messages.end(), [](const std::string& message) {
        return message.find("closed while watched") != std::string::npos;
    }));
    screenshot("status-item-bus-gone");

    ASSERT_TRUE(bus->restart()) << bus->error();
    watcher = std::make_unique<TestWatcher>(*bus);
    EXPECT_TRUE(runUntil([&] { return watcher->items().size() == 1; }, 15));
    EXPECT_TRUE(runUntil([&] { return !driver().isViewable(docked); }));
}

// The tray at the top right of the screen, or at the bottom right.
class X11CoachMarkTest : public X11StatusItemTest, public ::testing::WithParamInterface<bool> {
  protected:
    X11CoachMarkTest() : X11StatusItemTest(GetParam()) {}
    // Where the bubble's beak is tipped, found two pixels in from the tip's edge: the middle of
    // the bubble's dark pixels on that row.
    double beakTipX(const std::vector<int>& callout, int row) const {
        int sum = 0;
        int count = 0;
        for (int x = callout[0]; x < callout[0] + callout[2]; ++x) {
            const auto seen = driver().pixel(x, row);
            if (seen.red < 40 && seen.green < 40 && seen.blue < 50) {
                sum += x;
                ++count;
            }
        }
        return count == 0 ? -1 : static_cast<double>(sum) / count;
    }
};

TEST_P(X11CoachMarkTest, PointsAtTheIconsCentreFromInsideTheScreen) {
    const bool atBottom = GetParam();
    startRuntime();
    ASSERT_TRUE(runUntil([&] { return menuBar().statusItemScreenAnchor().has_value(); }));
    const auto icon = driver().rootGeometry(menuBar().statusItemScreenAnchor()->window);
    ASSERT_EQ(icon.size(), 4U);
    EXPECT_EQ(icon[1] > 400, atBottom);

    manager->showCoachMark();
    const auto& coachMark = manager->coachMarkController();
    ASSERT_TRUE(runUntil([&] {
        return coachMark.isShowing() && driver().isViewable(coachMark.panel()->windowNumber());
    }));
    // Read once it has faded in and come to rest.
    ASSERT_TRUE(runUntil([&] { return coachMark.panel()->alphaValue() == 1; }));
    ASSERT_TRUE(runUntilSteady<std::vector<int>>(
        [&] { return driver().rootGeometry(coachMark.panel()->windowNumber()); }));
    screenshot(atBottom ? "coach-mark-tray-bottom" : "coach-mark-tray-top");
    const auto callout = driver().rootGeometry(coachMark.panel()->windowNumber());
    ASSERT_EQ(callout.size(), 4U);
    EXPECT_GE(callout[0], 0);
    EXPECT_LE(callout[0] + callout[2], 1280);
    if (atBottom) {
        EXPECT_GT(callout[1], 0);
        EXPECT_LE(callout[1] + callout[3], icon[1]);
    } else {
        EXPECT_GE(callout[1], icon[1] + icon[3]);
        EXPECT_LT(callout[1] + callout[3], 800);
    }
    const int tipRow = atBottom ? callout[1] + callout[3] - 2 : callout[1] + 2;
    // Drawn at the compositor's pace.
    EXPECT_TRUE(runUntil([&] {
        return std::abs(beakTipX(callout, tipRow) - (icon[0] + icon[2] / 2.0)) <= 2;
    })) << "tip at "
        << beakTipX(callout, tipRow) << ", icon at " << icon[0] << " width " << icon[2]
        << ", callout at " << callout[0];
}

INSTANTIATE_TEST_SUITE_P(Tray, X11CoachMarkTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AtTheBottom" : "AtTheTop"; });

}  // namespace
}  // namespace talvori::testing

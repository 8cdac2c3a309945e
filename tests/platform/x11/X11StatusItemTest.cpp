#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
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
#include "reminder/UpdateReminder.hpp"

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
    explicit X11StatusItemTest(X11TestSession::Options options = {.tray = true})
        : X11DesktopTest(std::move(options)) {}
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

// Hosts draw the item from the icon theme in their own colours; a right click, which a host sends
// as a menu request, opens the panel as a left click does.
TEST_F(X11StatusItemTest, OffersItsIconByNameAndNoMenuAndAnyClickTogglesThePanel) {
    TestWatcher watcher(*bus);
    startRuntime();
    ASSERT_TRUE(runUntil(
        [&] { return watcher.items().size() == 1 && menuBar().statusItem()->isVisible(); }));
    const std::string item = watcher.items().front();
    watcher.readLook(item);
    ASSERT_TRUE(runUntil([&] { return watcher.look().has_value(); }));
    const auto look = *watcher.look();
    EXPECT_EQ(look.iconName, "talvori-status");
    // Run from its build, the program offers its icons from a folder of its own.
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(look.iconThemePath) / "hicolor" /
                                        "scalable" / "status" / "talvori-status-symbolic.svg"))
        << look.iconThemePath;
    EXPECT_GT(look.pixmaps, 0) << "pixels for hosts that ignore names";
    EXPECT_FALSE(look.itemIsMenu);
    EXPECT_FALSE(look.hasMenu);

    watcher.click(item, "ContextMenu", 1200, 12);
    ASSERT_TRUE(runUntil([&] { return panelIsOpen(); }));
    watcher.click(item, "SecondaryActivate", 1200, 12);
    EXPECT_TRUE(runUntil([&] { return panelIsClosed(); }));
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

// An update waiting shows on the icon, by its name for a host that reads the theme and by its
// picture in the tray, and goes once the update is no longer waiting.
class X11StatusItemUpdateTest : public X11StatusItemTest,
                                public ::testing::WithParamInterface<bool> {
  protected:
    // The icon as the tray shows it.
    std::string picture() const {
        const auto icon = driver().rootGeometry(menuBar().statusItemScreenAnchor()->window);
        std::string seen;
        for (const auto& pixel : driver().pixels(icon[0], icon[1], icon[2], icon[3])) {
            seen += std::to_string(pixel.brightness()) + ' ';
        }
        return seen;
    }
    // Asks the host's question again until the answer is `name`.
    bool offersName(TestWatcher& watcher, const std::string& name) {
        watcher.readLook(watcher.items().front());
        return runUntil([&] {
            if (!watcher.look()) return false;
            if (watcher.look()->iconName == name) return true;
            watcher.readLook(watcher.items().front());
            return false;
        });
    }
};

TEST_P(X11StatusItemUpdateTest, TheIconShowsAWaitingUpdateAndGoesBackAfter) {
    const bool byName = GetParam();
    const auto watcher = byName ? std::make_unique<TestWatcher>(*bus) : nullptr;
    startRuntime();
    ASSERT_TRUE(runUntil([&] {
        return byName ? watcher->items().size() == 1 && menuBar().statusItem()->isVisible()
                      : menuBar().statusItemScreenAnchor().has_value();
    }));
    std::string plain;
    if (byName) {
        EXPECT_TRUE(offersName(*watcher, "talvori-status"));
    } else {
        ASSERT_TRUE(runUntilSteady<std::string>([&] { return picture(); }));
        plain = picture();
    }
    const auto shows = [&](bool update) {
        if (byName)
            return offersName(*watcher, update ? "talvori-status-update" : "talvori-status");
        return runUntil([&] { return (picture() != plain) == update; });
    };

    const auto& reminder = UpdateReminder::shared();
    reminder->setPendingUpdate(UpdateReminder::PendingUpdate{"9.0", "900", std::nullopt});
    EXPECT_TRUE(shows(true));
    if (!byName) screenshot("status-item-tray-update");
    reminder->setPendingUpdate(std::nullopt);
    EXPECT_TRUE(shows(false));
}

INSTANTIATE_TEST_SUITE_P(Host, X11StatusItemUpdateTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "ByName" : "InTheTray"; });

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

// Another program's system tray, 120 x 24 at the top right, on a connection of its own: it either
// takes icons into a slot at its top left, over a dark gradient whose first row is light (as
// some panel themes draw it), or puts them aside in a transparent window of its own at 0, 0, as
// trays that copy icons' pixels do, and shows nothing; or it takes them into an opaque slot at
// 2, 2 in a 32-bit box of #303030, the slot left undrawn over a #101010 leftover.
class StandInTray {
  public:
    static constexpr int kX = 1160;
    enum Slot { kAside, kInTray, kOpaque };

    StandInTray(const std::string& display, const X11TestDriver& driver, Slot slot)
        : slot_(slot),
          connection_(xcb_connect(display.c_str(), nullptr)),
          screen_(xcb_setup_roots_iterator(xcb_get_setup(connection_)).data),
          window_(openWindow(kX, 0, 120, 24)),
          opcode_(driver.atom("_NET_SYSTEM_TRAY_OPCODE")),
          opacity_(driver.atom("_NET_WM_WINDOW_OPACITY")),
          colors_(driver.atom("_NET_SYSTEM_TRAY_COLORS")) {
        paintGradient();
        xcb_map_window(connection_, window_);
        xcb_set_selection_owner(connection_, window_, driver.atom("_NET_SYSTEM_TRAY_S0"),
                                XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    ~StandInTray() { xcb_disconnect(connection_); }

    // Handles the dock requests that arrived; the icon asked for last, if any.
    xcb_window_t icon() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const auto& message = *reinterpret_cast<xcb_client_message_event_t*>(event);
            if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE && message.type == opcode_ &&
                message.data.data32[1] == 0) {
                take(message.data.data32[2]);
            }
            std::free(event);
        }
        return icon_;
    }

    // The colour icons are asked to draw in, as a tray sets it on a change of theme, 16 bits a
    // channel.
    void askForColour(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        const std::uint32_t colors[12] = {red, green, blue};
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, colors_, XCB_ATOM_CARDINAL,
                            32, 12, colors);
        xcb_flush(connection_);
    }

  private:
    xcb_window_t openWindow(std::int16_t x, std::int16_t y, std::uint16_t width,
                            std::uint16_t height) {
        const xcb_window_t window = xcb_generate_id(connection_);
        const std::uint32_t overrideRedirect = 1;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, x, y, width,
                          height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                          XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
        return window;
    }
    // #A3A3A3 on top, then #595959 down to #040404 in the middle and up to #3E3E3E.
    void paintGradient() {
        const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
        xcb_create_pixmap(connection_, screen_->root_depth, pixmap, window_, 120, 24);
        const xcb_gcontext_t context = xcb_generate_id(connection_);
        xcb_create_gc(connection_, context, pixmap, 0, nullptr);
        for (int row = 0; row < 24; ++row) {
            const int grey = row == 0    ? 0xA3
                             : row <= 12 ? 0x59 - (0x59 - 0x04) * row / 12
                                         : 0x04 + (0x3E - 0x04) * (row - 12) / 11;
            const std::uint32_t pixel = static_cast<std::uint32_t>(grey * 0x010101);
            xcb_change_gc(connection_, context, XCB_GC_FOREGROUND, &pixel);
            const xcb_rectangle_t line{0, static_cast<std::int16_t>(row), 120, 1};
            xcb_poly_fill_rectangle(connection_, pixmap, context, 1, &line);
        }
        xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_free_gc(connection_, context);
        xcb_free_pixmap(connection_, pixmap);
    }
    // A box of another depth than the slot in it, as panels drawn with an alpha channel make.
    xcb_window_t openOpaqueSlot() {
        xcb_visualid_t visual = 0;
        for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem > 0;
             xcb_depth_next(&depths)) {
            if (depths.data->depth == 32) visual = xcb_depth_visuals(depths.data)->visual_id;
        }
        const xcb_colormap_t colormap = xcb_generate_id(connection_);
        xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_NONE, colormap, screen_->root, visual);
        const xcb_window_t box = xcb_generate_id(connection_);
        const std::uint32_t values[] = {0xFF303030, 0, colormap};
        xcb_create_window(connection_, 32, box, window_, 0, 0, 24, 24, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values);
        xcb_map_window(connection_, box);
        const xcb_gcontext_t context = xcb_generate_id(connection_);
        const std::uint32_t leftover = 0xFF101010;
        xcb_create_gc(connection_, context, box, XCB_GC_FOREGROUND, &leftover);
        const xcb_rectangle_t under{2, 2, 20, 20};
        xcb_poly_fill_rectangle(connection_, box, context, 1, &under);
        xcb_free_gc(connection_, context);
        const xcb_window_t slot = xcb_generate_id(connection_);
        const std::uint32_t slotValues[] = {0, screen_->default_colormap};
        xcb_create_window(connection_, screen_->root_depth, slot, box, 2, 2, 20, 20, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                          XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, slotValues);
        xcb_map_window(connection_, slot);
        return slot;
    }
    void take(xcb_window_t icon) {
        icon_ = icon;
        xcb_window_t parent = slot_ == kOpaque ? openOpaqueSlot() : window_;
        if (slot_ == kAside) {
            parent = openWindow(0, 0, 128, 128);
            const std::uint32_t transparent = 0;
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, parent, opacity_,
                                XCB_ATOM_CARDINAL, 32, 1, &transparent);
            xcb_map_window(connection_, parent);
        }
        xcb_reparent_window(connection_, icon, parent, 0, 0);
        const std::uint32_t side = slot_ == kAside ? 128 : slot_ == kOpaque ? 20 : 24;
        const std::uint32_t size[] = {side, side};
        xcb_configure_window(connection_, icon, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                             size);
        xcb_map_window(connection_, icon);
        xcb_flush(connection_);
    }

    Slot slot_;
    xcb_connection_t* connection_;
    xcb_screen_t* screen_;
    xcb_window_t window_;
    xcb_atom_t opcode_;
    xcb_atom_t opacity_;
    xcb_atom_t colors_;
    xcb_window_t icon_ = XCB_WINDOW_NONE;
};

class X11StandInTrayTest : public X11StatusItemTest {
  protected:
    X11StandInTrayTest() : X11StatusItemTest({}) {}
    bool logged(const std::string& text) const {
        const auto messages = logs().messages();
        return std::count_if(messages.begin(), messages.end(), [&](const std::string& message) {
                   return message.find(text) != std::string::npos;
               }) == 1;
    }
};

// The tray reads the icon's pixels at once and shows nothing of it; the window it put aside
// would take clicks where nothing shows.
TEST_F(X11StandInTrayTest, ATrayThatPutsTheIconAsideLeavesNoWindowAndTheItemAsWithoutATray) {
    StandInTray tray(session().display(), driver(), StandInTray::kAside);
    startRuntime();
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(tray.icon()); }));
    EXPECT_TRUE(runUntil([&] { return logged("did not show the status icon"); }));
    EXPECT_TRUE(runUntil([&] { return !driver().isViewable(tray.icon()); }));
    EXPECT_FALSE(menuBar().statusItem()->isVisible());
    EXPECT_FALSE(menuBar().statusItemScreenAnchor());
    screenshot("status-item-tray-refused");
}

// One pixel of the slot is light; the rest, around and under the icon, is dark. A right click
// opens the panel too.
TEST_F(X11StandInTrayTest, TheIconIsTintedForTheTraysWholeBackgroundAndEveryButtonOpensThePanel) {
    StandInTray tray(session().display(), driver(), StandInTray::kInTray);
    startRuntime();
    ASSERT_TRUE(runUntil(
        [&] { return tray.icon() != XCB_WINDOW_NONE && menuBar().statusItemScreenAnchor(); }));
    const auto light = [&] {
        const auto seen = driver().pixels(StandInTray::kX, 1, 24, 22);
        return std::any_of(seen.begin(), seen.end(), [](const auto& pixel) {
            return pixel.red > 200 && pixel.green > 200 && pixel.blue > 200;
        });
    };
    EXPECT_TRUE(runUntil(light));
    screenshot("status-item-tray-gradient");
    EXPECT_FALSE(logged("did not show the status icon"));

    driver().click(StandInTray::kX + 12, 12, 3);
    EXPECT_TRUE(runUntil([&] { return panelIsOpen(); }));
}

TEST_F(X11StandInTrayTest, TheIconTakesTheColourTheTrayAsksForOnceDocked) {
    StandInTray tray(session().display(), driver(), StandInTray::kInTray);
    startRuntime();
    ASSERT_TRUE(runUntil(
        [&] { return tray.icon() != XCB_WINDOW_NONE && menuBar().statusItemScreenAnchor(); }));
    const auto red = [&] {
        const auto seen = driver().pixels(StandInTray::kX, 1, 24, 22);
        return std::count_if(seen.begin(), seen.end(), [](const auto& pixel) {
            return pixel.red > 200 && pixel.green < 60 && pixel.blue < 60;
        });
    };
    ASSERT_TRUE(runUntil([&] { return red() == 0; }));
    tray.askForColour(0xFFFF, 0, 0);
    EXPECT_TRUE(runUntil([&] { return red() > 10; }));
}

// What the screen showed before stays nowhere behind the icon.
TEST_F(X11StandInTrayTest, AnUndrawnSlotShowsTheTraysColourBehindTheIcon) {
    StandInTray tray(session().display(), driver(), StandInTray::kOpaque);
    startRuntime();
    ASSERT_TRUE(runUntil(
        [&] { return tray.icon() != XCB_WINDOW_NONE && menuBar().statusItemScreenAnchor(); }));
    const auto leftover = [&] {
        const auto seen = driver().pixels(StandInTray::kX + 2, 2, 20, 20);
        return std::count_if(seen.begin(), seen.end(), [](const auto& pixel) {
            return std::abs(pixel.red - 0x10) < 6 && std::abs(pixel.blue - 0x10) < 6;
        });
    };
    EXPECT_TRUE(runUntil([&] { return leftover() == 0; })) << leftover();
    screenshot("status-item-tray-opaque-slot");
}

// The tray at the top right of the screen, or at the bottom right.
class X11CoachMarkTest : public X11StatusItemTest, public ::testing::WithParamInterface<bool> {
  protected:
    X11CoachMarkTest() : X11StatusItemTest({.tray = true, .trayAtBottom = GetParam()}) {}
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

#include <cairo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Platform.hpp"
#include "platform/desktop/HostedContent.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11Panel.hpp"

namespace talvori::testing {
namespace {

class X11WindowsTest : public X11DesktopTest {
  protected:
    std::optional<WindowInfo> listed(xcb_window_t window) {
        const auto list = platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly);
        if (!list) return std::nullopt;
        for (const auto& info : *list) {
            if (info.number == window) return info;
        }
        return std::nullopt;
    }
};

TEST_F(X11WindowsTest, WindowListShowsOtherProgramsFrontToBackWithTheirProcessNameAndFrame) {
    const auto back = openClient("Back", 100, 100, 300, 200, 0x3366cc);
    const auto front = openClient("Front", 500, 300, 320, 240, 0xcc6633, false);
    const auto list = platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly);
    ASSERT_TRUE(list);
    std::vector<std::uint32_t> numbers;
    for (const auto& info : *list) numbers.push_back(info.number.value_or(0));
    const auto frontAt = std::find(numbers.begin(), numbers.end(), front.window);
    const auto backAt = std::find(numbers.begin(), numbers.end(), back.window);
    ASSERT_NE(frontAt, numbers.end());
    ASSERT_NE(backAt, numbers.end());
    EXPECT_LT(frontAt, backAt);
    const WindowInfo& info = (*list)[static_cast<std::size_t>(frontAt - numbers.begin())];
    // A client that does not publish its process is still found through the server.
    EXPECT_EQ(info.ownerPID, front.pid);
    EXPECT_EQ(info.ownerName, "Front");
    EXPECT_EQ(info.name, "Front");
    EXPECT_EQ(info.layer, 0);
    // The frame, decorations included, measured from the first monitor's top left.
    const auto frame = driver().rootGeometry(driver().frameOf(front.window));
    ASSERT_EQ(frame.size(), 4U);
    EXPECT_EQ(info.bounds, Rect(frame[0], frame[1], frame[2], frame[3]));
    EXPECT_GE(info.bounds->width(), 320);
}

// What the program learnt of a window stays true only as long as the server says nothing new.
TEST_F(X11WindowsTest, WindowListFollowsRenamesMovesAndDepartures) {
    const auto client = openClient("Before", 100, 100, 300, 200, 0x3366cc);
    const auto before = listed(client.window);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->name, "Before");

    driver().retitle(client.window, "After");
    driver().move(client.window, 400, 300);
    const Rect moved(before->bounds->minX() + 300, before->bounds->minY() + 200,
                     before->bounds->width(), before->bounds->height());
    EXPECT_TRUE(runUntil([&] {
        const auto now = listed(client.window);
        return now && now->name == "After" && now->bounds == moved;
    }));
    // Only the names are read again: the window keeps the frame it was last seen with.
    driver().retitle(client.window, std::nullopt);
    EXPECT_TRUE(runUntil([&] {
        const auto now = listed(client.window);
        return now && now->name == "Before" && now->bounds == moved;
    }));

    session().end(client.pid);
    EXPECT_TRUE(runUntil([&] { return !listed(client.window); }));
}

// Names reach the screen and the bus as text whatever bytes a program wrote: WM_NAME is Latin-1,
// and what is not UTF-8 in _NET_WM_NAME shows as replacement characters.
TEST_F(X11WindowsTest, WindowNamesThatAreNotUtf8AreMadeText) {
    const auto client = openClient("Before", 100, 100, 300, 200, 0x3366cc);
    driver().retitle(client.window, std::nullopt);
    const std::string latin1 = "Caf\xe9";
    xcb_change_property(driver().connection(), XCB_PROP_MODE_REPLACE, client.window,
                        XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(latin1.size()), latin1.data());
    xcb_flush(driver().connection());
    EXPECT_TRUE(runUntil([&] {
        const auto now = listed(client.window);
        return now && now->name == "Caf\u00e9";
    }));
    driver().retitle(client.window, "Caf\xc3 \xff");
    EXPECT_TRUE(runUntil([&] {
        const auto now = listed(client.window);
        return now && now->name == "Caf\ufffd \ufffd";
    })) << listed(client.window).value_or(WindowInfo{}).name.value_or("");
}

// A panel placed against another program's window goes back beside it when the window manager
// raises that window past it.
TEST_F(X11WindowsTest, APanelOrderedAboveAWindowStaysAboveItWhenItIsRaised) {
    const auto target = openClient("Target", 100, 100, 400, 300, 0x3366cc);
    const auto other = openClient("Other", 300, 200, 400, 300, 0xcc6633);
    auto panel =
        platform().application().makePanel(Rect(150, 400, 100, 100), StyleMask::nonactivatingPanel);
    panel->setOpaque(true);
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::above, target.window));
    const xcb_window_t frame = driver().frameOf(target.window);
    const auto isDirectlyAbove = [&] {
        const auto order = driver().stacking();
        const auto at = std::find(order.begin(), order.end(), frame);
        return at != order.end() && at + 1 != order.end() && *(at + 1) == panel->windowNumber();
    };
    ASSERT_TRUE(runUntil(isDirectlyAbove));
    activate(target.window);
    EXPECT_TRUE(runUntil(isDirectlyAbove));
    activate(other.window);
    activate(target.window);
    EXPECT_TRUE(runUntil(isDirectlyAbove));
}

// A panel that another program took into a window of its own (as a window manager frames one it
// has not given back) fails every restack against a window at the root: it tries again a few
// times, not for ever.
TEST_F(X11WindowsTest, RestacksThatKeepFailingAreNotRetriedForEver) {
    const auto target = openClient("Target", 100, 100, 400, 300, 0x3366cc);
    auto panel =
        platform().application().makePanel(Rect(150, 400, 100, 100), StyleMask::nonactivatingPanel);
    panel->setOpaque(true);
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::below, target.window));
    ASSERT_TRUE(
        runUntil([&] { return driver().frameOf(panel->windowNumber()) == panel->windowNumber(); }));
    const xcb_window_t holder = driver().popUp(0, 0, 600, 600);
    xcb_reparent_window(driver().connection(), panel->windowNumber(), holder, 10, 10);
    driver().sync();
    catchUp();
    xcb_connection_t* ours = desktop().connection().raw();
    const unsigned before = xcb_no_operation(ours).sequence;
    panel->orderRelative(WindowOrderingMode::below, target.window);
    runUntil([] { return false; }, 0.3);
    EXPECT_LT(xcb_no_operation(ours).sequence - before, 40U);
}

// A popup hides while another program is in front and comes back with ours, unless it was put
// away in the meantime.
TEST_F(X11WindowsTest, APopupPutAwayWhileAnotherProgramIsInFrontStaysAway) {
    const auto other = openClient("Other", 600, 400, 300, 200, 0xcc6633);
    auto& application = platform().application();
    auto window = application.makePanel(Rect(100, 100, 300, 200), StyleMask::titled);
    window->orderFront();
    window->makeKey();
    ASSERT_TRUE(runUntil([&] { return application.isActive(); }));
    const auto popup = [&] {
        auto panel = application.makePanel(Rect(150, 150, 100, 60), StyleMask::borderless);
        panel->orderFront();
        return panel;
    };
    auto putAway = popup();
    auto kept = popup();

    activate(other.window);
    ASSERT_TRUE(runUntil([&] { return !application.isActive(); }));
    EXPECT_FALSE(putAway->isVisible());
    putAway->orderOut();
    activate(window->windowNumber());
    ASSERT_TRUE(runUntil([&] { return application.isActive() && kept->isVisible(); }));
    EXPECT_FALSE(putAway->isVisible());
}

// The stacking order kept from the server's events, without asking, stays the server's own
// through windows coming, going, being raised, restacked by us and reparented.
TEST_F(X11WindowsTest, TheStackingOrderKeptFromEventsMatchesTheServers) {
    auto& clients = desktop().application().clients();
    clients.knownRootChildren();
    // The look at how the window manager stacks ours comes and goes with windows of its own.
    ASSERT_TRUE(runUntil([&] { return !desktop().application().isProbingStacking(); }));
    const auto first = openClient("First", 100, 100, 300, 200, 0x3366cc);
    const auto second = openClient("Second", 300, 200, 300, 200, 0xcc6633);
    auto panel =
        platform().application().makePanel(Rect(150, 400, 100, 100), StyleMask::nonactivatingPanel);
    panel->setOpaque(true);
    panel->orderFront();
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::below, first.window));
    const xcb_window_t popUp = driver().popUp(10, 10, 50, 50);
    activate(first.window);
    activate(second.window);
    driver().destroy(popUp);
    const xcb_window_t firstFrame = driver().frameOf(first.window);
    session().end(first.pid);
    // Compared once the window manager has let go of the frame of the window that ended.
    ASSERT_TRUE(runUntil([&] {
        const auto children = driver().stacking();
        return std::find(children.begin(), children.end(), firstFrame) == children.end();
    }));
    ASSERT_TRUE(windowManagerCatchesUp(second.window));
    // The news of the last frames the window manager made and ended may still be on its way (and
    // the window manager may make more meanwhile); a kept order that has gone wrong stays wrong.
    std::vector<xcb_window_t> kept;
    std::vector<xcb_window_t> server;
    EXPECT_TRUE(runUntil([&] {
        kept = clients.knownRootChildren();
        server = clients.fetchRootChildren();
        return kept == server;
    })) << ::testing::PrintToString(kept)
        << " kept, the server's " << ::testing::PrintToString(server);
    // Right after restacks of our own, before their news is read, the order expected is the
    // server's (looked at again when another program changed it meanwhile).
    EXPECT_TRUE(runUntil([&] {
        panel->orderFront();
        panel->orderRelative(WindowOrderingMode::below, second.window);
        kept = clients.expectedRootChildren().value_or(std::vector<xcb_window_t>{});
        server = clients.fetchRootChildren();
        return kept == server;
    })) << ::testing::PrintToString(kept)
        << " expected, the server's " << ::testing::PrintToString(server);
}

// An answer read from the socket together with news the server sent before it reaches its
// handler after that news, never ahead of it.
TEST_F(X11WindowsTest, AnAnswerComesAfterTheNewsSentBeforeIt) {
    auto& connection = desktop().connection();
    const auto& clients = desktop().application().clients();
    catchUp();
    // The server takes our question only once the pop-up exists, so the news of it comes first.
    xcb_grab_server(driver().connection());
    driver().sync();
    xcb_window_t popUp = XCB_WINDOW_NONE;
    std::optional<bool> knownWhenAnswered;
    connection.whenReplied<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus(connection.raw()), [&](x11::Reply<xcb_get_input_focus_reply_t>) {
            const auto known = clients.knownRootChildren();
            knownWhenAnswered = std::find(known.begin(), known.end(), popUp) != known.end();
        });
    xcb_flush(connection.raw());
    popUp = driver().popUp(10, 10, 50, 50);
    xcb_ungrab_server(driver().connection());
    driver().sync();
    // Until the news and the answer (32 bytes each) wait unread.
    const int socket = xcb_get_file_descriptor(connection.raw());
    int unread = 0;
    for (int tries = 0; tries < 5000 && unread < 2 * 32; ++tries) {
        ::usleep(1000);
        ::ioctl(socket, FIONREAD, &unread);
    }
    ASSERT_GE(unread, 2 * 32);
    connection.drainAndFlush();
    ASSERT_TRUE(runUntil([&] { return knownWhenAnswered.has_value(); }));
    EXPECT_TRUE(*knownWhenAnswered);
}

// Content that paints itself in one colour, which the test changes.
class SolidContent : public HostedContent {
  public:
    void draw(cairo_t* context, Size) override {
        cairo_set_source_rgb(context, red, 0, 1 - red);
        cairo_paint(context);
    }
    Size fittingSize() override { return {200, 200}; }
    double red = 1;
};

// When only part of a window changed, only that part is drawn and sent: the rest keeps the
// pixels it had.
TEST_F(X11WindowsTest, OnlyTheDamagedPartOfAPanelIsDrawnAgain) {
    auto panel =
        platform().application().makePanel(Rect(100, 100, 200, 200), StyleMask::nonactivatingPanel);
    auto content = std::make_shared<SolidContent>();
    panel->setHostedContent(content);
    panel->orderFront();
    // Global (100, 100) is root (100, 500); the window spans root (100, 500) to (300, 700).
    const auto redAt = [&](int x, int y) { return driver().pixel(x, y).red; };
    ASSERT_TRUE(runUntil([&] { return redAt(150, 550) > 200; }));
    // The server's exposure of the newly mapped window is drawn too.
    catchUp();
    content->red = 0;
    std::static_pointer_cast<x11::X11Panel>(panel)->damage({20, 30, 50, 40});
    EXPECT_TRUE(runUntil([&] { return redAt(130, 540) < 50; }));
    EXPECT_LT(redAt(169, 569), 50);
    EXPECT_GT(redAt(171, 540), 200);
    EXPECT_GT(redAt(130, 571), 200);
    EXPECT_GT(redAt(250, 650), 200);
}

// A panel that shows only its colours while the compositor fades it is drawn once: shown again
// unchanged it sends no drawing, and it shows at once what changed while it was hidden.
TEST_F(X11WindowsTest, APanelOfColoursIsDrawnOnceAndShownAgainAsItWasOrAsItChanged) {
    openClient("Backdrop", 0, 0, 1280, 800, 0x000000);
    ASSERT_TRUE(runUntil([&] { return desktop().application().compositorFadesByOpacity(); }));
    auto panel =
        platform().application().makePanel(Rect(100, 100, 200, 200), StyleMask::nonactivatingPanel);
    panel->setOpaque(false);
    panel->setBackgroundColor(Color::clear());
    panel->setContentLayer({Color::rgb255(255, 0, 0), 20});
    panel->orderFront();
    // Global (100, 100) is root (100, 500); the rounded corners stay clear.
    const auto pixel = [&](int x, int y) { return driver().pixel(x, y); };
    ASSERT_TRUE(runUntil([&] { return pixel(200, 600).red > 200; }));
    EXPECT_LT(pixel(101, 501).red, 50);

    panel->orderOut();
    ASSERT_TRUE(runUntil([&] { return pixel(200, 600).red < 50; }));
    xcb_connection_t* ours = desktop().connection().raw();
    const unsigned before = xcb_no_operation(ours).sequence;
    panel->orderFront();
    platform().runLoop().runOnce(0);
    // The mapping and its place among the windows; a drawing would take a dozen more.
    EXPECT_LE(xcb_no_operation(ours).sequence - before, 5U);
    EXPECT_TRUE(runUntil([&] { return pixel(200, 600).red > 200; }));

    // A new colour, translucent and square, at a new size.
    panel->orderOut();
    panel->setContentLayer({Color::rgb255(0, 255, 0, 0.5), 0});
    panel->setFrame(Rect(100, 100, 300, 200), false);
    panel->orderFront();
    const auto halfGreen = [](const X11TestDriver::Rgb& rgb) {
        return rgb.red < 20 && rgb.green > 110 && rgb.green < 145 && rgb.blue < 20;
    };
    EXPECT_TRUE(runUntil([&] { return halfGreen(pixel(380, 600)); }));
    EXPECT_TRUE(halfGreen(pixel(101, 501)));
    EXPECT_TRUE(halfGreen(pixel(200, 600)));
}

// The active window as the focus and the window manager's announcements give it: the focus moves
// first, and the manager may announce "none" before it announces the window. The driver plays
// the window manager.
class X11ActivationTest : public X11DesktopTest {
  protected:
    X11ActivationTest() : X11DesktopTest({.windowManager = false, .compositor = false}) {}
    std::int32_t frontPid() {
        const auto front = platform().workspace().frontmostApplication();
        return front ? front->processIdentifier : 0;
    }
};

TEST_F(X11ActivationTest, TheFocusActivatesAheadOfTheAnnouncementWhichHasTheLastWord) {
    const auto alpha = session().openClient("Alpha", 100, 100, 300, 200, 0x3366cc);
    const auto beta = session().openClient("Beta", 500, 300, 300, 200, 0xcc6633);
    ASSERT_TRUE(alpha.window && beta.window);
    driver().setWindows(driver().root(), "_NET_CLIENT_LIST", {alpha.window, beta.window});
    driver().focus(alpha.window);
    driver().setWindows(driver().root(), "_NET_ACTIVE_WINDOW", {alpha.window});
    ASSERT_TRUE(runUntil([&] { return frontPid() == alpha.pid; }));
    // Both windows read from the client list, and so watched.
    ASSERT_TRUE(runUntil([&] {
        return platform().windowList().copyWindowInfo(WindowListOption::all)->size() == 2U;
    }));

    driver().focus(beta.window);
    EXPECT_TRUE(runUntil([&] { return frontPid() == beta.pid; }));
    driver().setWindows(driver().root(), "_NET_ACTIVE_WINDOW", {XCB_WINDOW_NONE});
    catchUp();
    EXPECT_EQ(frontPid(), beta.pid);
    driver().setWindows(driver().root(), "_NET_ACTIVE_WINDOW", {beta.window});
    catchUp();
    EXPECT_EQ(frontPid(), beta.pid);

    // The desktop takes the focus: the announcement of none stands.
    driver().focus(XCB_WINDOW_NONE);
    driver().setWindows(driver().root(), "_NET_ACTIVE_WINDOW", {XCB_WINDOW_NONE});
    EXPECT_TRUE(runUntil([&] { return frontPid() == 0; }));
}

// A compositor that hands the screen to another in one go (one replacing itself): our
// translucent windows go away in between, as without a compositor they would be drawn without
// blending, and the new one would start from that picture.
class X11CompositorHandOverTest : public X11DesktopTest {
  protected:
    X11CompositorHandOverTest() : X11DesktopTest({.compositor = false}) {}
    ~X11CompositorHandOverTest() override {
        if (standIn) xcb_disconnect(standIn);
    }
    void takeCompositorSelection() {
        const xcb_window_t owner = xcb_generate_id(standIn);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(standIn)).data;
        xcb_create_window(standIn, 0, owner, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(standIn, owner, driver().atom("_NET_WM_CM_S0"), XCB_CURRENT_TIME);
    }

    xcb_connection_t* standIn = xcb_connect(session().display().c_str(), nullptr);
};

TEST_F(X11CompositorHandOverTest, TranslucentPanelsAreHiddenBetweenTheTwo) {
    takeCompositorSelection();
    xcb_flush(standIn);
    auto panel =
        platform().application().makePanel(Rect(100, 100, 200, 200), StyleMask::nonactivatingPanel);
    panel->setOpaque(false);
    panel->setIgnoresMouseEvents(true);
    panel->orderFront();
    ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
    const std::uint32_t structure[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(standIn, panel->windowNumber(), XCB_CW_EVENT_MASK, structure);
    xcb_set_selection_owner(standIn, XCB_WINDOW_NONE, driver().atom("_NET_WM_CM_S0"),
                            XCB_CURRENT_TIME);
    takeCompositorSelection();
    xcb_flush(standIn);
    const auto unmapped = [&] {
        bool seen = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(standIn)) {
            seen = seen || (event->response_type & 0x7f) == XCB_UNMAP_NOTIFY;
            std::free(event);
        }
        return seen;
    };
    EXPECT_TRUE(runUntil(unmapped, 2));
}

}  // namespace
}  // namespace talvori::testing

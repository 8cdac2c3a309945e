#include "platform/x11/X11DesktopTest.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "focus/SpotlightController.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/harness/X11TestBus.hpp"

// Read by the leak checker at start-up: the font configuration library and the cursor theme
// loader keep process-wide caches without pointers to them. Cairo 1.16 loses now and then the clip
// it made for drawing glyphs beside a partly redrawn area (later versions free it); built without
// frame pointers, it shows no deeper frame to tell that leak by, so its leaks are left to the tests
// on the simulated desktop, which draw the same views with the same calls.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n"
           "leak:libcairo.so\n";
}

namespace talvori::testing {

namespace {
using Clock = std::chrono::steady_clock;
}

X11DesktopTest::X11DesktopTest(X11TestSession::Options options, SessionBus bus)
    : session_(options), sessionBus_(bus) {}

X11DesktopTest::~X11DesktopTest() {
    // The program goes before the server it talks to, and its bus before the session's end.
    if (Platform::isInstalled()) Platform::uninstall();
    desktop_.reset();
    driver_.reset();
    bus_.reset();
    expectNothingLeft(session_);
}

void X11DesktopTest::SetUp() {
    ASSERT_TRUE(session_.isReady()) << session_.error();
    // Before the program starts: it finds its session bus as it starts.
    if (sessionBus_ == SessionBus::own) {
        bus_ = std::make_unique<X11TestBus>(session_);
        ASSERT_TRUE(bus_->isReady()) << bus_->error();
    }
    // Settings of a real platform go to the session's settings folder, the test's own.
    auto real = Platform::makeReal();
    real->setUserDefaults(UserDefaults::inMemory());
    logs_ = std::make_shared<CaptureLogSink>();
    real->logRouter().addSink(logs_);
    Platform::install(std::move(real));
    desktop_ = x11::X11Desktop::install(platform(), session_.display().c_str());
    ASSERT_TRUE(desktop_) << "cannot connect to " << session_.display();
    driver_ = std::make_unique<X11TestDriver>(session_.display());
}

bool X11DesktopTest::runUntil(const std::function<bool()>& condition, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        platform().runLoop().runOnce(0.005);
    }
    return true;
}

X11DesktopTest::Client X11DesktopTest::openClient(const std::string& title, int x, int y, int width,
                                                  int height, std::uint32_t color,
                                                  const X11TestSession::ClientLook& look) {
    const Client client = session_.openClient(title, x, y, width, height, color, look);
    if (client.window == XCB_WINDOW_NONE) {
        ADD_FAILURE() << "cannot start the test client";
        return client;
    }
    // Managed (in the client list, framed, mapped) and active. One that asks for no frame may
    // stay unframed (Mutter leaves it so).
    const bool framed =
        std::find(look.options.begin(), look.options.end(), "--undecorated") == look.options.end();
    const bool managed = runUntil([&] {
        const auto clients = driver_->clientList();
        return std::find(clients.begin(), clients.end(), client.window) != clients.end() &&
               driver_->isViewable(client.window) &&
               (!framed || driver_->frameOf(client.window) != client.window);
    });
    EXPECT_TRUE(managed) << title << " was not managed";
    clients_.push_back(client.window);
    activate(client.window);
    return client;
}

void X11DesktopTest::activate(xcb_window_t window) {
    driver_->activate(window);
    EXPECT_TRUE(runUntil([&] { return isActiveOnTop(window); }))
        << "window " << window
        << " did not become active and come to the top; active: " << driver_->activeWindow();
    catchUp();
}

bool X11DesktopTest::isActiveOnTop(xcb_window_t window) const {
    if (driver_->activeWindow() != window) return false;
    const auto order = driver_->stacking();
    const auto at = [&](xcb_window_t client) {
        return std::find(order.begin(), order.end(), driver_->frameOf(client)) - order.begin();
    };
    const auto top = at(window);
    // A window that is gone is found nowhere, which counts as below.
    return std::all_of(clients_.begin(), clients_.end(), [&](xcb_window_t other) {
        const auto place = at(other);
        return other == window || place < top || place == std::ssize(order);
    });
}

void X11DesktopTest::catchUp() {
    driver_->sync();
    auto& connection = desktop_->connection();
    // Answered after every event the driver's requests made; taken the way the program takes
    // its own answers, it adds no round trip to those a test counts.
    const auto answered = std::make_shared<bool>(false);
    connection.whenReplied<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus(connection.raw()),
        [answered](x11::Reply<xcb_get_input_focus_reply_t>) { *answered = true; });
    EXPECT_TRUE(runUntil([&] { return *answered && !connection.hasPendingReplies(); }));
}

bool X11DesktopTest::windowManagerCatchesUp(xcb_window_t window) {
    const auto last = std::find_if(clients_.rbegin(), clients_.rend(), [&](xcb_window_t client) {
        return driver_->isViewable(client);
    });
    const xcb_window_t client = window                    ? window
                                : last == clients_.rend() ? xcb_window_t{XCB_WINDOW_NONE}
                                                          : *last;
    if (client == XCB_WINDOW_NONE) return false;
    // Two requests each window manager answers once it has read them and everything before:
    // one that configures a client and changes nothing gets a synthetic notice (KWin), a new
    // window's frame extents are set on it (the others). Twice: the focus events of what it did
    // before the first come in before the second.
    X11TestDriver watcher(session_.display());
    xcb_connection_t* connection = watcher.connection();
    const std::uint32_t events[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(connection, client, XCB_CW_EVENT_MASK, events);
    for (int round = 0; round < 2; ++round) {
        xcb_configure_window(connection, client, 0, nullptr);
        const xcb_window_t probe = watcher.askFrameExtents();
        bool answered = false;
        const auto answer = [&] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                answered = answered || (event->response_type & 0x7F) == XCB_CONFIGURE_NOTIFY;
                std::free(event);
            }
            return answered || !watcher.cardinals(probe, "_NET_FRAME_EXTENTS").empty();
        };
        const bool caughtUp = runUntil(answer);
        watcher.destroy(probe);
        // Gone before the program catches up: its own reads do not find it.
        watcher.sync();
        if (!caughtUp) return false;
    }
    catchUp();
    return true;
}

void X11DesktopTest::drag(int fromX, int fromY, int toX, int toY, xcb_window_t managed) {
    for (const auto& step : std::vector<std::function<void()>>{
             [&] { driver_->moveMouse(fromX, fromY); }, [&] { driver_->buttonDown(); },
             [&] { driver_->moveMouse((fromX + toX) / 2, (fromY + toY) / 2); },
             [&] { driver_->moveMouse(toX, toY); }, [&] { driver_->buttonUp(); }}) {
        step();
        catchUp();
        if (managed) {
            EXPECT_TRUE(windowManagerCatchesUp(managed));
        }
    }
}

X11TestDriver::Point X11DesktopTest::trayPoint(int x, int y) {
    using namespace std::string_literals;
    // Framed by the window manager or standing on the root itself, as a dock may.
    const auto findStrip = [&] {
        std::deque<xcb_window_t> waiting{driver_->root()};
        while (!waiting.empty()) {
            const xcb_window_t window = waiting.front();
            waiting.pop_front();
            const auto named = driver_->windowClass(window);
            if ((named == "panel\0trayer\0"s || named == "icewm\0TaskBar\0"s) &&
                driver_->isViewable(window)) {
                return window;
            }
            for (const xcb_window_t child : driver_->children(window)) waiting.push_back(child);
        }
        return xcb_window_t{XCB_WINDOW_NONE};
    };
    // The tray's program owns the tray before its strip is on the screen, in its place.
    xcb_window_t strip = XCB_WINDOW_NONE;
    if (!runUntil([&] { return (strip = findStrip()) != XCB_WINDOW_NONE; }) ||
        !runUntilSteady<std::vector<int>>([&] { return driver_->rootGeometry(strip); })) {
        ADD_FAILURE() << "no tray on the screen";
        return {-1, -1};
    }
    return driver_->pointIn(strip, x, y);
}

void X11DesktopTest::screenshot(const std::string& name) const {
    const char* folder = std::getenv("TALVORI_SCREENSHOT_DIR");
    if (!folder) return;
    EXPECT_TRUE(driver_->screenshot(std::string(folder) + "/" + name + ".png"));
}

void expectNothingLeft(X11TestSession& session) {
    std::string left;
    for (const auto& program : session.endAll()) left += "\n  " + program;
    EXPECT_TRUE(left.empty()) << "the test left running:" << left;
}

bool isIdle(const SpotlightController& focus) {
    const auto& panels = focus.panelManager();
    return panels.overlayPanel() && panels.overlayPanel()->alphaValue() == 1 &&
           !panels.fadeTarget() && !focus.hasPendingLook();
}

}  // namespace talvori::testing

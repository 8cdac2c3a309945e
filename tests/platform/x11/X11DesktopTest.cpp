#include "platform/x11/X11DesktopTest.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "platform/core/UserDefaults.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"

// Read by the leak checker at start-up: the font configuration library and the cursor theme
// loader keep process-wide caches without pointers to them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace talvori::testing {

namespace {
using Clock = std::chrono::steady_clock;
}

X11DesktopTest::X11DesktopTest(X11TestSession::Options options) : session_(options) {}

X11DesktopTest::~X11DesktopTest() {
    // The program goes before the server it talks to (the session ends last, as a member).
    if (Platform::isInstalled()) Platform::uninstall();
}

void X11DesktopTest::SetUp() {
    ASSERT_TRUE(session_.isReady()) << session_.error();
    // Settings of a real platform go to a folder of the test's own.
    static const std::string configuration = [] {
        auto folder = std::filesystem::temp_directory_path() /
                      ("talvori-x11-tests-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        return folder.string();
    }();
    ::setenv("XDG_CONFIG_HOME", configuration.c_str(), 1);
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

void X11DesktopTest::runFor(double seconds) {
    runUntil([] { return false; }, seconds);
}

X11DesktopTest::Client X11DesktopTest::openClient(const std::string& title, int x, int y, int width,
                                                  int height, std::uint32_t color,
                                                  const X11TestSession::ClientLook& look) {
    const Client client = session_.openClient(title, x, y, width, height, color, look);
    if (client.window == XCB_WINDOW_NONE) {
        ADD_FAILURE() << "cannot start the test client";
        return client;
    }
    // Managed (in the client list, framed, mapped) and active.
    const bool managed = runUntil([&] {
        const auto clients = driver_->clientList();
        return std::find(clients.begin(), clients.end(), client.window) != clients.end() &&
               driver_->isViewable(client.window) &&
               driver_->frameOf(client.window) != client.window;
    });
    EXPECT_TRUE(managed) << title << " was not managed";
    activate(client.window);
    return client;
}

void X11DesktopTest::activate(xcb_window_t window) {
    driver_->activate(window);
    EXPECT_TRUE(runUntil([&] { return driver_->activeWindow() == window; }))
        << "window " << window << " did not become active";
    catchUp();
}

void X11DesktopTest::catchUp() {
    auto& connection = desktop_->connection();
    std::free(xcb_get_input_focus_reply(connection.raw(), xcb_get_input_focus(connection.raw()),
                                        nullptr));
    platform().runLoop().runOnce(0);
    EXPECT_TRUE(runUntil([&] { return !connection.hasPendingReplies(); }, 1));
}

void X11DesktopTest::drag(int fromX, int fromY, int toX, int toY) {
    for (const auto& step : std::vector<std::function<void()>>{
             [&] { driver_->moveMouse(fromX, fromY); }, [&] { driver_->buttonDown(); },
             [&] { driver_->moveMouse((fromX + toX) / 2, (fromY + toY) / 2); },
             [&] { driver_->moveMouse(toX, toY); }, [&] { driver_->buttonUp(); }}) {
        step();
        runFor(0.05);
    }
}

void X11DesktopTest::screenshot(const std::string& name) const {
    const char* folder = std::getenv("TALVORI_SCREENSHOT_DIR");
    if (!folder) return;
    EXPECT_TRUE(driver_->screenshot(std::string(folder) + "/" + name + ".png"));
}

}  // namespace talvori::testing

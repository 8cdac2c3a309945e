#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori {
class SpotlightController;
}
namespace talvori::x11 {
class X11Desktop;
}

namespace talvori::testing {

class X11TestBus;

// A real platform with the X11 desktop installed over a private test server (its own Xvfb,
// window manager and compositor), a driver connection acting as the user and other programs, and
// helper programs standing in for other applications' windows. Everything ends with the test.
class X11DesktopTest : public ::testing::Test {
  protected:
    // A session bus of the test's own (where no desktop hosts status items), or none at all.
    enum class SessionBus { none, own };
    explicit X11DesktopTest(X11TestSession::Options options = {},
                            SessionBus bus = SessionBus::none);
    ~X11DesktopTest() override;
    void SetUp() override;

    X11TestSession& session() { return session_; }
    X11TestDriver& driver() const { return *driver_; }
    x11::X11Desktop& desktop() const { return *desktop_; }
    CaptureLogSink& logs() const { return *logs_; }

    // Runs the program's loop until `condition` holds (true) or `seconds` pass (false).
    bool runUntil(const std::function<bool()>& condition, double seconds = 5);
    // Runs the program's loop until what `read` gives is the same on two reads `apart` seconds
    // apart (a fade or a window manager's animation has ended); false after `seconds`.
    template <typename Value>
    bool runUntilSteady(const std::function<Value()>& read, double apart = 0.1,
                        double seconds = 5) {
        std::optional<Value> last;
        return runUntil(
            [&] {
                Value now = read();
                if (last == now) return true;
                last = std::move(now);
                runUntil([] { return false; }, apart);
                return false;
            },
            seconds);
    }

    using Client = X11TestSession::Client;
    // Another program's window asking for `x, y` on the root (its frame's place: see
    // X11TestSession::openClient), managed and active.
    Client openClient(const std::string& title, int x, int y, int width, int height,
                      std::uint32_t color, const X11TestSession::ClientLook& look);
    Client openClient(const std::string& title, int x, int y, int width, int height,
                      std::uint32_t color, bool publishPid = true) {
        return openClient(title, x, y, width, height, color,
                          X11TestSession::ClientLook{{}, publishPid, {}, {}});
    }
    // Activates `window` as a pager would and waits until the window manager has done so: names
    // it active and stands its frame above every other window the test opened.
    void activate(xcb_window_t window);
    bool isActiveOnTop(xcb_window_t window) const;
    // Lets the program handle everything the server did so far, the driver's requests included,
    // and the answers to the reads that asked for: what it keeps from the server's events is then
    // current.
    void catchUp();
    // Waits until the window manager has handled everything the server told it so far, and what
    // that made it do has come back to it (the focus it gave a window, say); then catches up.
    // Asked through a window it manages: `window`, or the last one the test opened still on
    // screen. False when it does not answer.
    bool windowManagerCatchesUp(xcb_window_t window = XCB_WINDOW_NONE);
    // The user's hand drags with the left button from one root point to another, in time: the
    // program sees each step (press, halfway, there, release) before the next, and so does the
    // window manager when it takes over the drag of `managed`.
    void drag(int fromX, int fromY, int toX, int toY, xcb_window_t managed = XCB_WINDOW_NONE);
    // A point of the strip holding the system tray (trayer's, or icewm's task bar), `x, y` from
    // its top left corner (negative ones from its right and bottom edges), once it stands on the
    // screen; {-1, -1}, and a failure, without one.
    X11TestDriver::Point trayPoint(int x, int y);
    // Saves the screen as a PNG under $TALVORI_SCREENSHOT_DIR when that is set.
    void screenshot(const std::string& name) const;

  private:
    X11TestSession session_;
    SessionBus sessionBus_;
    // Ends after the program, before the session that started it.
    std::unique_ptr<X11TestBus> bus_;
    std::unique_ptr<X11TestDriver> driver_;
    std::shared_ptr<x11::X11Desktop> desktop_;
    std::shared_ptr<CaptureLogSink> logs_;
    std::vector<xcb_window_t> clients_;
};

// Ends the session; what it left running (and killed) fails the test running.
void expectNothingLeft(X11TestSession& session);

// Focus has done all it meant to: its panel faded in, no cross-fade running, no look pending.
bool isIdle(const SpotlightController& focus);

}  // namespace talvori::testing

#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.hpp"
#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::x11 {
class X11Desktop;
}

namespace talvori::testing {

// A real platform with the X11 desktop installed over a private test server (its own Xvfb,
// window manager and compositor), a driver connection acting as the user and other programs, and
// helper programs standing in for other applications' windows. Everything ends with the test.
class X11DesktopTest : public ::testing::Test {
  protected:
    explicit X11DesktopTest(X11TestSession::Options options = {});
    ~X11DesktopTest() override;
    void SetUp() override;

    X11TestSession& session() { return session_; }
    X11TestDriver& driver() const { return *driver_; }
    x11::X11Desktop& desktop() const { return *desktop_; }
    CaptureLogSink& logs() const { return *logs_; }

    // Runs the program's loop until `condition` holds (true) or `seconds` pass (false).
    bool runUntil(const std::function<bool()>& condition, double seconds = 5);
    void runFor(double seconds);

    using Client = X11TestSession::Client;
    // Another program's window at `x, y` (root coordinates of its content), managed and active.
    Client openClient(const std::string& title, int x, int y, int width, int height,
                      std::uint32_t color, const X11TestSession::ClientLook& look);
    Client openClient(const std::string& title, int x, int y, int width, int height,
                      std::uint32_t color, bool publishPid = true) {
        return openClient(title, x, y, width, height, color,
                          X11TestSession::ClientLook{{}, publishPid, {}});
    }
    // Activates `window` as a pager would and waits until the window manager says so.
    void activate(xcb_window_t window);
    // Lets the program handle everything the server did so far, and the answers to the reads
    // that asked for: what it keeps from the server's events is then current.
    void catchUp();
    // The user's hand drags with the left button from one root point to another, in time: the
    // program sees each step (press, halfway, there, release) before the next.
    void drag(int fromX, int fromY, int toX, int toY);
    // Saves the screen as a PNG under $TALVORI_SCREENSHOT_DIR when that is set.
    void screenshot(const std::string& name) const;

  private:
    X11TestSession session_;
    std::unique_ptr<X11TestDriver> driver_;
    std::shared_ptr<x11::X11Desktop> desktop_;
    std::shared_ptr<CaptureLogSink> logs_;
};

}  // namespace talvori::testing

#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace talvori::testing {
class X11TestDriver;
class X11TestSession;
}  // namespace talvori::testing

namespace talvori::tour {

// A short walk through Talvori on a desktop of its own: a private X server with a window manager,
// a compositor and a system tray, two other programs' windows, and Talvori started as on a fresh
// account. The user's hand is real input (keys and clicks through the server); each step ends in
// a screenshot. Everything started is ended when the tour ends.
class Tour {
  public:
    struct Options {
        std::string program;
        // Where the screenshots (NN-step.png) and Talvori's log (talvori.log) go.
        std::string folder;
        // Multiplies the pauses that let animations end before a screenshot, and, above 1, the
        // longest waits for what a step expects.
        double patience = 1;
        // Stops after this many screenshots.
        int steps = 1000;
    };

    explicit Tour(Options options);
    ~Tour();
    Tour(const Tour&) = delete;
    Tour& operator=(const Tour&) = delete;

    // Walks the tour; false, having said what failed, at the first step that fails.
    bool run();

  private:
    struct Window {
        xcb_window_t window = XCB_WINDOW_NONE;
        std::vector<int> frame;
    };

    bool startDesktop();
    bool startTalvori();
    bool firstRun();
    bool focusOn();
    bool coverDragged();
    bool panelFromTray();

    // Viewable, and where it was a moment ago.
    bool settled(xcb_window_t window) const;
    // For a failure's message: a window's frame as it was and as it is, and Talvori's panels.
    std::string describe(xcb_window_t window, const std::vector<int>& was) const;
    std::string describePanels() const;
    // Presses at (x, y), moves by (dx, dy) in steps and releases.
    void dragBy(int x, int y, int dx, int dy);

    // Saves the screen as the next numbered screenshot; false once enough were taken (or it
    // could not be written, which fails the tour).
    bool shoot(const std::string& name);
    bool waitFor(const std::function<bool()>& condition, double seconds) const;
    void pause(double seconds) const;
    bool fail(const std::string& what);
    // Talvori's windows on screen, override-redirect ones directly under the root.
    std::vector<Window> talvoriPanels() const;
    std::optional<Window> firstRunWindow() const;
    std::optional<Window> trayIcon() const;
    bool isTalvori(xcb_window_t window) const;
    // The pixels of `frame` (root x, y, width, height) as the screen shows them.
    std::vector<std::uint32_t> capture(const std::vector<int>& frame) const;
    // Waits until `frame` has not changed for a while; false when it keeps changing.
    bool settle(const std::vector<int>& frame) const;
    // The middle of the orange button within `frame` (root x, y, width, height).
    std::optional<std::pair<int, int>> findButton(const std::vector<int>& frame) const;

    Options options_;
    std::unique_ptr<testing::X11TestSession> session_;
    std::unique_ptr<testing::X11TestDriver> driver_;
    pid_t talvori_ = 0;
    int shots_ = 0;
    bool failed_ = false;
    xcb_window_t notes_ = XCB_WINDOW_NONE;
    xcb_window_t browser_ = XCB_WINDOW_NONE;
};

}  // namespace talvori::tour

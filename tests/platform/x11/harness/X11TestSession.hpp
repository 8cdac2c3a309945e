#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace talvori::testing {

class X11TestBus;

// The desktops the program is tried on: a window manager and the compositor it is used with.
enum class X11TestDesktop {
    // openbox with picom (xrender backend): the desktop of most tests.
    openbox,
    // xfwm4 with its own compositor.
    xfwm4,
    // icewm with picom; it brings its own task bar and system tray.
    icewm,
    // kwin_x11, compositing itself, with its blur effect on.
    kwin,
    // mutter --x11, always compositing itself.
    mutter,
};
const char* nameOf(X11TestDesktop desktop);
// The desktop of that name (as nameOf gives it); none for another name.
std::optional<X11TestDesktop> desktopNamed(const std::string& name);

// A private X server for one test: Xvfb on a free display, and, as asked, a window manager, a
// compositor and a system tray, each started only once the one before is ready, and all ended
// (and reaped) by the destructor. A missing tool makes the session fail: `error()` says why.
//
// Nothing of the machine's desktop reaches a session, nor anything of another test's: while it
// lives, this process's home, settings, data, cache, state and runtime folders are folders of the
// session's own, its session bus is none ("disabled:") until a test starts one (X11TestBus), and
// its speech service is an address nobody listens on, whose server is told not to start on
// demand. Everything started here takes that environment; the window manager, compositor and
// tray share a bus of their own besides. This process reaps whatever its children leave behind,
// so that endAll() finds what a test left running.
class X11TestSession {
  public:
    struct Options {
        X11TestDesktop desktop = X11TestDesktop::openbox;
        bool windowManager = true;
        bool compositor = true;
        // Without the server's Composite extension there is no 32-bit visual, and the server
        // keeps no pixels of hidden windows.
        bool compositeExtension = true;
        // A system tray: trayer, 120 x 24 at the right end of the top (or bottom) edge, keeping
        // that strip free of windows (icewm's own task bar at the bottom instead).
        bool tray = false;
        bool trayAtBottom = false;
        int width = 1280;
        int height = 800;
        // Further options of the compositor (its own dimming of inactive windows, say): picom's
        // arguments, or lines added to KWin's settings file.
        std::vector<std::string> compositorOptions = {};
        // The X resources programs read from the root (what `xrdb -merge` puts there, such as
        // "Xft.dpi: 192" for a screen of double density), set before anything else starts.
        std::string resources = {};
    };

    explicit X11TestSession(Options options);
    ~X11TestSession();
    X11TestSession(const X11TestSession&) = delete;
    X11TestSession& operator=(const X11TestSession&) = delete;

    bool isReady() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // ":N"
    const std::string& display() const { return display_; }

    // Starts a program on this display; its standard output comes back through `output` (a
    // readable descriptor) and its standard input is fed through `input` (a writable one) when
    // asked. Ended with the session unless ended before.
    pid_t spawn(const std::vector<std::string>& arguments, int* output = nullptr,
                int* input = nullptr);
    // Runs a program on this display to its end; its exit status (-1 when it could not start).
    int run(const std::vector<std::string>& arguments);
    // Another program's top-level window asking for `x, y` on the root, with a title, WM_CLASS
    // and, when asked, its process number; returned once it is mapped (the window manager may not
    // have taken it yet). A window manager puts its frame there and the content inside it, right
    // and down by the frame's border and title bar; the frame and its shadow may cover
    // X11TestDriver::kFrameReach pixels around the content, of the window and of those below it.
    // A window of 0 when it did not start.
    struct Client {
        pid_t pid = 0;
        xcb_window_t window = XCB_WINDOW_NONE;
    };
    // What sets a client apart beyond its title: its WM_CLASS (instance and class; the title
    // when empty), its process number, and an icon (_NET_WM_ICON) in a colour of its own.
    struct ClientLook {
        std::string windowClass;
        bool publishPid = true;
        std::optional<std::uint32_t> iconColor;
        // More of the test client's options (--type desktop, say, or --undecorated: no frame drawn
        // around it, as a window that draws its own).
        std::vector<std::string> options;
    };
    Client openClient(const std::string& title, int x, int y, int width, int height,
                      std::uint32_t color, const ClientLook& look);
    Client openClient(const std::string& title, int x, int y, int width, int height,
                      std::uint32_t color, bool publishPid = true) {
        return openClient(title, x, y, width, height, color, ClientLook{{}, publishPid, {}, {}});
    }
    // The compositor's process (the window manager's where it composites itself); 0 without one.
    pid_t compositorPid() const { return compositor_; }
    pid_t windowManagerPid() const { return windowManager_; }
    X11TestDesktop desktop() const { return desktop_; }
    // Starts the window manager again, once the one before was ended, and waits until it manages
    // windows.
    bool restartWindowManager() { return startWindowManager(options_); }
    // Starts another window manager of the same kind that takes the screen over from the running
    // one (`--replace`; openbox is told to restart itself instead) and waits until the one before
    // has ended and the new one manages windows.
    bool replaceWindowManager();
    // Ends one program started by spawn().
    void end(pid_t pid);
    // Sends `signal` to one program started by spawn() and waits for it to end: its wait status,
    // or -1 when it had not ended after `seconds` (it is killed then).
    int end(pid_t pid, int signal, double seconds);
    // Ends the X server alone, as a crash would.
    void killServer();
    // Starts the compositor with further `options` (one that was not asked for, or another after
    // one ended); false, with `error()` saying why, when it does not take the screen.
    bool startCompositor(const std::vector<std::string>& options = {});
    // Ends every program the session started, then the server, then what they left running (found
    // among this process's children, which it inherits as their reaper), and puts this process's
    // environment back. What was left running, as "pid command line": a test fails when there is
    // any. The destructor calls it when no one did before.
    std::vector<std::string> endAll();

  private:
    // Makes the session's folders and points this process's environment at them.
    bool makeFolders();
    // Sets an entry of this process's environment (an empty value removes it) until endAll().
    void setEnvironment(const std::string& name, const std::string& value);
    bool startServer(const Options& options);
    xcb_connection_t* connectOrSay();
    bool setResources(const std::string& resources);
    bool startWindowManager(const Options& options, bool replacing = false);
    // What the window manager, the compositor and the tray run with: the desktop's own bus.
    std::optional<std::vector<std::string>> desktopEnvironment();
    bool startSettingsService(std::vector<std::string>& environment);
    // Starts KWin's global shortcut service on the desktop's bus: it grabs the keys KWin binds.
    bool startShortcutService(const std::vector<std::string>& environment);
    // Waits until KWin's keys are grabbed.
    bool waitForKWinShortcuts();
    bool startTray(bool atBottom);
    // Starts a program with further environment entries.
    pid_t spawnWith(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment);
    // Waits until the selection `name` has an owner; false after `seconds`.
    bool waitForOwner(const char* name, int seconds) const;

    std::string error_;
    // The home and the XDG folders of everything the session starts.
    std::string folder_;
    // This process's environment entries before the session set them.
    std::vector<std::pair<std::string, std::optional<std::string>>> previousEnvironment_;
    bool ended_ = false;
    std::string display_;
    X11TestDesktop desktop_;
    Options options_;
    // The window manager's own settings, apart from the user's, and its settings service's bus.
    std::string settings_;
    // Every window manager started gets a folder of its own; all go with the session.
    std::vector<std::string> settingsFolders_;
    std::unique_ptr<X11TestBus> desktopBus_;
    pid_t server_ = 0;
    pid_t windowManager_ = 0;
    pid_t compositor_ = 0;
    pid_t shortcutService_ = 0;
    std::vector<pid_t> children_;
};

// Whether `program` is on the PATH.
bool hasProgram(const std::string& program);

}  // namespace talvori::testing

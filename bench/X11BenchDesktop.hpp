#pragma once

// What the X11 benchmarks share: a private Xvfb with openbox and picom that each benchmark starts
// and ends itself, test programs standing in for other applications, a driver connection acting
// as a pager, and watchers that see, from threads and connections of their own, when the server
// and the composited screen show a result. Latencies are wall-clock times from a request (an
// activation, a move) to the server or the screen showing its result.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::x11 {
class X11Desktop;
}

namespace talvori::bench {

using Clock = std::chrono::steady_clock;
using testing::X11TestDesktop;
using testing::X11TestDriver;
using testing::X11TestSession;

// The desktop the X11 benchmarks run on: TALVORI_X11_DESKTOP (openbox, xfwm4, icewm, kwin,
// mutter), else openbox.
X11TestDesktop benchedDesktop();

double threadCpuSeconds();
// CPU time a process has had so far (its scheduler's own count, in nanoseconds' precision).
double processCpuSeconds(pid_t pid);
double milliseconds(Clock::duration duration);
double percentile(std::vector<double> values, double fraction);

// Watches the server from a thread of its own: it hears every change of the root's children and
// properties as the server makes it, and after each batch of such events checks a condition; the
// time of the batch that made the condition hold is when the server showed the result. Events
// can also be noted one by one (the window manager's own part).
class ServerWatch {
  public:
    using Observer = std::function<void(const xcb_generic_event_t&, Clock::time_point)>;
    using Condition = std::function<bool(X11TestDriver&)>;

    explicit ServerWatch(const std::string& display);
    ~ServerWatch();

    void start(Condition condition, Observer observer = {});
    bool isDone() const { return done_; }
    // Whether the condition held, and when the server showed it.
    bool finish();
    Clock::time_point seenAt() const { return seenAt_; }

  private:
    X11TestDriver driver_;
    std::thread thread_;
    std::atomic<bool> done_{true};
    bool held_ = false;
    Clock::time_point seenAt_;
};

// Reads points of the composited screen from a thread of its own, one read of all of them at a
// time, as fast as the server answers: `step` gets their brightness (red + green + blue) with the
// time of each read and says when it has seen enough.
class PixelWatch {
  public:
    using Point = X11TestDriver::Point;
    using Step = std::function<bool(const std::vector<int>& brightness, Clock::time_point at)>;

    explicit PixelWatch(const std::string& display);
    ~PixelWatch();

    void start(std::vector<Point> points, Step step);
    bool isDone() const { return done_; }
    // Whether the step said it had seen enough before the time ran out.
    bool finish();

  private:
    X11TestDriver driver_;
    std::thread thread_;
    std::atomic<bool> done_{true};
    bool ended_ = false;
};

// A private desktop with a backdrop, two other programs' windows (and more when asked), and, when
// asked, the program installed on it (the real platform over the X11 desktop, in this process).
class X11BenchDesktop {
  public:
    struct Options {
        bool program = true;
        bool tray = false;
        std::vector<std::string> compositorOptions = {};
        // Other programs' windows on the screen, the backdrop and the two included: the rest
        // stand below the two, tiled over the screen.
        int windows = 3;
    };
    // The colours of the two windows: both as bright (384) undimmed.
    static constexpr std::uint32_t kAlphaColor = 0x2080e0;
    static constexpr std::uint32_t kBetaColor = 0xe08020;
    static constexpr int kUndimmedBrightness = 0x20 + 0x80 + 0xe0;

    explicit X11BenchDesktop(Options options);
    X11BenchDesktop() : X11BenchDesktop(Options{}) {}
    ~X11BenchDesktop();

    std::string error() const;
    X11TestDriver& driver() { return *driver_; }
    X11TestSession& session() { return session_; }
    const std::string& display() const { return session_.display(); }
    // The program's connection (null without the program).
    xcb_connection_t* programConnection() const;

    // One pass of the program's loop, its CPU time counted; without the program, `pump` if set,
    // else a short sleep.
    void runOnce(double seconds);
    template <class Watch>
    bool runUntilSeen(Watch& watch) {
        // The loop wakes for its own work only (and now and then to see whether the watch, on its
        // own thread, is done): the program's wake-ups stay its own.
        while (!watch.isDone()) runOnce(0.05);
        return watch.finish();
    }
    bool runUntil(const std::function<bool()>& condition, double seconds = 5);
    void runFor(double seconds);
    void activate(xcb_window_t window);

    X11TestSession::Client backdrop;
    X11TestSession::Client alpha;
    X11TestSession::Client beta;
    double cpuSeconds = 0;
    long passes = 0;
    // Passes that ended on this bench's own time limit with no timer of the program due: they
    // are the bench's wake-ups, not the program's (a descriptor that became ready at that very
    // moment is miscounted as one).
    long benchWakeups = 0;
    // What stands in for the program's loop when it is not installed.
    std::function<void(double seconds)> pump;

  private:
    X11TestSession::Client openClient(const std::string& title, int x, int y, int width, int height,
                                      std::uint32_t color);

    bool hasProgram_;
    X11TestSession session_;
    std::shared_ptr<x11::X11Desktop> desktop_;
    std::unique_ptr<X11TestDriver> driver_;
};

}  // namespace talvori::bench

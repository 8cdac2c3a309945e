// The X11 desktop against a real X server: a private Xvfb with openbox and picom that each
// benchmark starts and ends itself, test programs standing in for other applications, and a
// driver connection acting as a pager and measuring what the server shows.
//
// The switches and moves measured are as many as the minimum time asks for (about 200 at the
// default half second); the figures come from the last run.
//
// Latencies are wall-clock times from the request (an activation, a move) to the server showing
// the result, watched from a thread and connection of their own so that the program's loop never
// waits for the watching; "our CPU" counts only the time the program's run loop spends.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "covers/OverlayWindowController.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori {
namespace {

using testing::X11TestDriver;
using testing::X11TestSession;
using Clock = std::chrono::steady_clock;

double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

// Watches the server from a thread of its own: it hears every change of the root's children and
// properties as the server makes it, and after each batch of such events checks a condition; the
// time of the batch that made the condition hold is when the server showed the result. Events
// can also be noted one by one (the window manager's own part).
class ServerWatch {
  public:
    using Observer = std::function<void(const xcb_generic_event_t&, Clock::time_point)>;

    explicit ServerWatch(const std::string& display) : driver_(display) {
        const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                        XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_change_window_attributes(driver_.connection(), driver_.root(), XCB_CW_EVENT_MASK,
                                     events);
        driver_.sync();
    }
    ~ServerWatch() { finish(); }

    template <class Condition>
    void start(Condition condition, Observer observer = {}) {
        finish();
        done_ = false;
        thread_ = std::thread([this, condition, observer] {
            xcb_connection_t* connection = driver_.connection();
            const auto deadline = Clock::now() + std::chrono::seconds(2);
            bool held = false;
            while (!held && Clock::now() < deadline) {
                xcb_generic_event_t* event = xcb_poll_for_event(connection);
                if (!event) {
                    pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
                    ::poll(&readable, 1, 5);
                    continue;
                }
                Clock::time_point at;
                for (; event; event = xcb_poll_for_event(connection)) {
                    at = Clock::now();
                    if (observer) observer(*event, at);
                    std::free(event);
                }
                held = condition(driver_);
                seenAt_ = at;
            }
            held_ = held;
            done_ = true;
        });
    }
    bool isDone() const { return done_; }
    // Whether the condition held, and when the server showed it.
    bool finish() {
        if (thread_.joinable()) thread_.join();
        return held_;
    }
    Clock::time_point seenAt() const { return seenAt_; }

  private:
    X11TestDriver driver_;
    std::thread thread_;
    std::atomic<bool> done_{true};
    bool held_ = false;
    Clock::time_point seenAt_;
};

// The program on its own X server, with a backdrop and two other programs' windows.
class X11BenchDesktop {
  public:
    X11BenchDesktop() : session_(X11TestSession::Options{}) {
        if (!session_.isReady()) return;
        auto real = Platform::makeReal();
        real->setUserDefaults(UserDefaults::inMemory());
        Platform::install(std::move(real));
        desktop_ = x11::X11Desktop::install(platform(), session_.display().c_str());
        driver_ = std::make_unique<X11TestDriver>(session_.display());
        backdrop = openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
        alpha = openClient("Alpha", 100, 120, 400, 300, 0x2080e0);
        beta = openClient("Beta", 700, 380, 400, 300, 0xe08020);
    }
    ~X11BenchDesktop() {
        if (Platform::isInstalled()) Platform::uninstall();
    }

    std::string error() const {
        if (!session_.isReady()) return session_.error();
        if (!desktop_) return "cannot connect to the test server";
        if (!alpha.window || !beta.window) return "the test clients did not start";
        return {};
    }
    X11TestDriver& driver() { return *driver_; }
    const std::string& display() const { return session_.display(); }
    // Runs the program's loop until `watch` has its answer.
    bool runUntilSeen(ServerWatch& watch) {
        while (!watch.isDone()) runOnce(0.005);
        return watch.finish();
    }

    // One pass of the program's loop, its CPU time counted.
    void runOnce(double seconds) {
        const double before = threadCpuSeconds();
        platform().runLoop().runOnce(seconds);
        cpuSeconds += threadCpuSeconds() - before;
        ++passes;
    }
    template <class Condition>
    bool runUntil(Condition condition, double seconds = 5) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (!condition()) {
            if (Clock::now() >= deadline) return false;
            runOnce(0.001);
        }
        return true;
    }
    void runFor(double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
            runOnce(std::chrono::duration<double>(deadline - now).count());
        }
    }
    void activate(xcb_window_t window) {
        driver_->activate(window);
        runUntil([&] { return driver_->activeWindow() == window; });
    }

    X11TestSession::Client backdrop;
    X11TestSession::Client alpha;
    X11TestSession::Client beta;
    double cpuSeconds = 0;
    long passes = 0;

  private:
    X11TestSession::Client openClient(const std::string& title, int x, int y, int width, int height,
                                      std::uint32_t color) {
        auto client = session_.openClient(title, x, y, width, height, color);
        if (!client.window) return client;
        const bool managed = runUntil([&] {
            const auto clients = driver_->clientList();
            return std::find(clients.begin(), clients.end(), client.window) != clients.end() &&
                   driver_->frameOf(client.window) != client.window;
        });
        if (!managed) client.window = XCB_WINDOW_NONE;
        if (client.window) activate(client.window);
        return client;
    }

    X11TestSession session_;
    std::shared_ptr<x11::X11Desktop> desktop_;
    std::unique_ptr<X11TestDriver> driver_;
};

std::shared_ptr<SpotlightController> turnFocusOn(X11BenchDesktop& desktop) {
    auto controller = SpotlightController::create(
        SpotlightPanelManager::create(), PermissionManager::shared(), UserDefaults::inMemory());
    // The dimming panel moves at once, without the cross-fade over the windows in between.
    controller->panelManager().isReducedMotion = [] { return true; };
    controller->activate();
    desktop.runFor(0.4);
    return controller;
}

std::uint32_t focusPanel(const SpotlightController& controller) {
    const auto& panel = controller.panelManager().overlayPanel();
    return panel ? panel->windowNumber() : 0;
}

// From a pager's activation request to the dimming panel directly below the newly active
// window's frame in the server's stacking order; then the program settles (its reconciliations
// run) before the next switch. "our_cpu_ms" is the program's CPU per switch, settling included.
void BM_X11RestackAfterActivation(benchmark::State& state) {
    X11BenchDesktop desktop;
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto& driver = desktop.driver();
    desktop.activate(desktop.alpha.window);
    auto controller = turnFocusOn(desktop);
    const xcb_window_t frames[] = {driver.frameOf(desktop.alpha.window),
                                   driver.frameOf(desktop.beta.window)};
    const xcb_window_t clients[] = {desktop.alpha.window, desktop.beta.window};
    const xcb_window_t panel = focusPanel(*controller);
    ServerWatch watch(desktop.display());
    std::vector<double> latencies;
    std::vector<double> managerLatencies;
    double reactionCpu = 0;
    const double cpuBefore = desktop.cpuSeconds;
    int next = 1;
    for (auto _ : state) {
        const xcb_window_t frame = frames[next];
        const double cpuStart = desktop.cpuSeconds;
        const auto start = Clock::now();
        // The window manager's own part: until it raises the window.
        auto managerDone = std::make_shared<Clock::time_point>();
        watch.start(
            [panel, frame](X11TestDriver& server) { return server.windowAbove(panel) == frame; },
            [managerDone, frame](const xcb_generic_event_t& event, Clock::time_point at) {
                const auto& configure =
                    reinterpret_cast<const xcb_configure_notify_event_t&>(event);
                if ((event.response_type & 0x7F) == XCB_CONFIGURE_NOTIFY &&
                    configure.window == frame && managerDone->time_since_epoch().count() == 0) {
                    *managerDone = at;
                }
            });
        driver.activate(clients[next]);
        const bool placed = desktop.runUntilSeen(watch);
        const auto elapsed = watch.seenAt() - start;
        reactionCpu += desktop.cpuSeconds - cpuStart;
        if (!placed) {
            state.SkipWithError("the panel did not follow the activation");
            break;
        }
        latencies.push_back(milliseconds(elapsed));
        if (managerDone->time_since_epoch().count() != 0) {
            managerLatencies.push_back(milliseconds(*managerDone - start));
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        desktop.runFor(SpotlightController::kSlowReconcileDelay + 0.01);
        next = 1 - next;
    }
    const double switches = static_cast<double>(std::max<std::size_t>(latencies.size(), 1));
    state.counters["p50_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["max_ms"] = percentile(latencies, 1);
    state.counters["wm_p50_ms"] = percentile(managerLatencies, 0.5);
    state.counters["our_cpu_ms"] = (desktop.cpuSeconds - cpuBefore) * 1000 / switches;
    state.counters["reaction_cpu_ms"] = reactionCpu * 1000 / switches;
    controller->deactivate();
    desktop.runFor(0.3);
}
BENCHMARK(BM_X11RestackAfterActivation)->UseManualTime()->Unit(benchmark::kMillisecond);

std::shared_ptr<OverlayWindowController> showCover(const Rect& frame) {
    OverlayModel model;
    model.id = UUID::random();
    model.name = "Cover";
    model.frame = CodableRect::fromRect(frame);
    model.color = {1, 0.5, 0, 1};
    model.opacity = 0.9;
    auto controller =
        OverlayWindowController::create(std::make_shared<OverlayViewModel>(std::move(model)));
    controller->show();
    return controller;
}

// From a program moving its window to the cover attached to it standing at its new place.
void BM_X11AttachedCoverFollowsAMove(benchmark::State& state) {
    X11BenchDesktop desktop;
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto& driver = desktop.driver();
    auto cover = showCover(Rect(720, 300, 200, 100));
    const xcb_window_t window = cover->panel()->window().windowNumber();
    desktop.runUntil([&] { return driver.isViewable(window); });
    cover->attach({desktop.beta.pid, "Beta", "Beta", ActivationPolicy::regular});
    desktop.runFor(0.2);
    auto xOf = [](X11TestDriver& server, xcb_window_t of) {
        xcb_connection_t* connection = server.connection();
        auto* geometry =
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, of), nullptr);
        const int x = geometry ? geometry->x : -1;
        std::free(geometry);
        return x;
    };
    const xcb_window_t frame = driver.frameOf(desktop.beta.window);
    const int startX = xOf(driver, window);
    ServerWatch watch(desktop.display());
    std::vector<double> latencies;
    std::vector<double> managerLatencies;
    const double cpuBefore = desktop.cpuSeconds;
    int offset = 40;
    for (auto _ : state) {
        const int expected = startX + offset;
        const auto start = Clock::now();
        // The window manager's own part: until it has moved the frame.
        auto managerDone = std::make_shared<Clock::time_point>();
        watch.start([&xOf, window,
                     expected](X11TestDriver& server) { return xOf(server, window) == expected; },
                    [managerDone, frame](const xcb_generic_event_t& event, Clock::time_point at) {
                        const auto& configure =
                            reinterpret_cast<const xcb_configure_notify_event_t&>(event);
                        if ((event.response_type & 0x7F) == XCB_CONFIGURE_NOTIFY &&
                            configure.window == frame &&
                            managerDone->time_since_epoch().count() == 0) {
                            *managerDone = at;
                        }
                    });
        driver.move(desktop.beta.window, 700 + offset, 380);
        const bool followed = desktop.runUntilSeen(watch);
        const auto elapsed = watch.seenAt() - start;
        if (!followed) {
            state.SkipWithError("the cover did not follow its window");
            break;
        }
        latencies.push_back(milliseconds(elapsed));
        if (managerDone->time_since_epoch().count() != 0) {
            managerLatencies.push_back(milliseconds(*managerDone - start));
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        desktop.runFor(0.01);
        offset = offset == 40 ? 0 : 40;
    }
    const double moves = static_cast<double>(std::max<std::size_t>(latencies.size(), 1));
    state.counters["p50_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["wm_p50_ms"] = percentile(managerLatencies, 0.5);
    state.counters["our_cpu_ms"] = (desktop.cpuSeconds - cpuBefore) * 1000 / moves;
}
BENCHMARK(BM_X11AttachedCoverFollowsAMove)->UseManualTime()->Unit(benchmark::kMillisecond);

// Focus on, five covers shown, nothing happening: the program's CPU and loop wake-ups over
// three seconds (the focus safety net's own timer fires about once), and its resident memory.
void BM_X11IdleWithFocusAndFiveCovers(benchmark::State& state) {
    X11BenchDesktop desktop;
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    desktop.activate(desktop.alpha.window);
    auto controller = turnFocusOn(desktop);
    std::vector<std::shared_ptr<OverlayWindowController>> covers;
    for (int index = 0; index < 5; ++index) {
        covers.push_back(showCover(Rect(150 + 200 * index, 100 + 40 * index, 180, 120)));
    }
    desktop.runFor(0.5);
    constexpr double kIdleSeconds = 3;
    for (auto _ : state) {
        const double cpuBefore = desktop.cpuSeconds;
        const long passesBefore = desktop.passes;
        desktop.runFor(kIdleSeconds);
        state.counters["idle_cpu_ms_per_s"] =
            (desktop.cpuSeconds - cpuBefore) * 1000 / kIdleSeconds;
        state.counters["idle_wakeups_per_s"] =
            static_cast<double>(desktop.passes - passesBefore) / kIdleSeconds;
    }
    state.counters["rss_mb"] = static_cast<double>(residentKilobytes()) / 1024;
    controller->deactivate();
    desktop.runFor(0.3);
}
BENCHMARK(BM_X11IdleWithFocusAndFiveCovers)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori

// The real program, started fresh for each measure, on a private desktop with a system tray: what
// a user meets at the first click on the status icon, and what the program costs when it sits
// idle with Focus on. Nothing is warm from earlier benchmarks: fonts, panels and caches are the
// fresh process's own.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "X11BenchDesktop.hpp"

namespace talvori::bench {
namespace {

namespace fs = std::filesystem;

bool isTalvori(X11TestDriver& driver, xcb_window_t window) {
    xcb_connection_t* connection = driver.connection();
    auto* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 16),
        nullptr);
    bool ours = false;
    if (reply) {
        const std::string value(static_cast<const char*>(xcb_get_property_value(reply)),
                                static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        ours = value.rfind(std::string("talvori\0Talvori", 15), 0) == 0;
    }
    std::free(reply);
    return ours;
}

// The program's windows that are root children on screen, with their root rectangles.
std::vector<std::vector<int>> shownPanels(X11TestDriver& driver) {
    std::vector<std::vector<int>> panels;
    for (const xcb_window_t window : driver.stacking()) {
        if (driver.isViewable(window) && isTalvori(driver, window)) {
            panels.push_back(driver.rootGeometry(window));
        }
    }
    return panels;
}

// The status icon docked in the tray: ours, inside another program's window.
std::optional<std::vector<int>> trayIcon(X11TestDriver& driver) {
    xcb_connection_t* connection = driver.connection();
    std::deque<xcb_window_t> waiting{driver.root()};
    while (!waiting.empty()) {
        const xcb_window_t parent = waiting.front();
        waiting.pop_front();
        auto* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, parent), nullptr);
        if (!tree) continue;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        std::optional<std::vector<int>> found;
        for (int index = 0; index < xcb_query_tree_children_length(tree) && !found; ++index) {
            const xcb_window_t child = children[index];
            if (parent != driver.root() && driver.isViewable(child) && isTalvori(driver, child)) {
                found = driver.rootGeometry(child);
            }
            waiting.push_back(child);
        }
        std::free(tree);
        if (found) return found;
    }
    return std::nullopt;
}

template <class Condition>
bool waitFor(Condition condition, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

long statusField(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

// The program on a desktop of its own (the other programs' windows included), started as a user
// who went through the first run starts it: its status item docks in the desktop's tray.
class ProgramRun {
  public:
    ProgramRun()
        : desktop_({.program = false, .tray = true}),
          folder_(fs::temp_directory_path() / ("talvori-bench-" + std::to_string(::getpid()))) {
        if (!desktop_.error().empty()) return;
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "talvori");
        std::ofstream(folder_ / "talvori" / "defaults.json")
            << R"({"hasCompletedOnboarding": true})";
        const std::string previousConfig =
            std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        const std::string previousBus =
            std::getenv("DBUS_SESSION_BUS_ADDRESS") ? std::getenv("DBUS_SESSION_BUS_ADDRESS") : "";
        ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
        // Not the user's own session bus: the item docks in this desktop's tray.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        pid_ = desktop_.session().spawn({TALVORI_PROGRAM});
        restore("XDG_CONFIG_HOME", previousConfig);
        restore("DBUS_SESSION_BUS_ADDRESS", previousBus);
    }
    ~ProgramRun() {
        if (pid_ > 0) desktop_.session().end(pid_);
        fs::remove_all(folder_);
    }
    std::string error() {
        if (!desktop_.error().empty()) return desktop_.error();
        if (pid_ <= 0) return "the program does not start";
        return {};
    }
    X11BenchDesktop& desktop() { return desktop_; }
    X11TestDriver& driver() { return desktop_.driver(); }
    pid_t pid() const { return pid_; }
    // The status icon docked, and the start-up's work done.
    std::optional<std::vector<int>> waitUntilSettled() {
        std::optional<std::vector<int>> icon;
        if (!waitFor([&] { return (icon = trayIcon(driver())).has_value(); }, 10)) return icon;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return icon;
    }

  private:
    static void restore(const char* name, const std::string& value) {
        if (value.empty()) {
            ::unsetenv(name);
        } else {
            ::setenv(name, value.c_str(), 1);
        }
    }

    X11BenchDesktop desktop_;
    fs::path folder_;
    pid_t pid_ = 0;
};

// From the click on the status icon to the menu-bar panel on screen below it, the first time in
// a freshly started program.
void BM_X11FirstTrayOpening(benchmark::State& state) {
    std::vector<double> latencies;
    for (auto _ : state) {
        ProgramRun run;
        if (const auto error = run.error(); !error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
        const auto icon = run.waitUntilSettled();
        if (!icon || icon->size() != 4) {
            state.SkipWithError("the status icon did not dock in the tray");
            return;
        }
        const int bottom = (*icon)[1] + (*icon)[3];
        ServerWatch watch(run.desktop().display());
        watch.start([bottom](X11TestDriver& server) {
            for (const auto& panel : shownPanels(server)) {
                if (panel.size() == 4 && panel[1] >= bottom && panel[1] < 80 && panel[2] > 200 &&
                    panel[2] < 500) {
                    return true;
                }
            }
            return false;
        });
        const auto start = Clock::now();
        run.driver().click((*icon)[0] + (*icon)[2] / 2, (*icon)[1] + (*icon)[3] / 2);
        if (!watch.finish()) {
            state.SkipWithError("the click on the status icon opened no panel");
            return;
        }
        const auto elapsed = watch.seenAt() - start;
        latencies.push_back(milliseconds(elapsed));
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    state.counters["p50_ms"] = percentile(latencies, 0.5);
    state.counters["max_ms"] = percentile(latencies, 1);
}
BENCHMARK(BM_X11FirstTrayOpening)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// Focus turned on and five covers made with the program's shortcuts, then three seconds of
// nothing: the program's own CPU, wake-ups (its main thread's context switches) and resident
// memory.
void BM_X11ProgramIdleWithFocusAndFiveCovers(benchmark::State& state) {
    ProgramRun run;
    if (const auto error = run.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (!run.waitUntilSettled()) {
        state.SkipWithError("the status icon did not dock in the tray");
        return;
    }
    auto& driver = run.driver();
    driver.click(300, 300);
    driver.tap(X11TestDriver::kF, {X11TestDriver::kLeftShift, X11TestDriver::kLeftSuper});
    auto covers = [&] {
        int count = 0;
        for (const auto& panel : shownPanels(driver)) count += panel.size() == 4 && panel[2] < 1280;
        return count;
    };
    const int before = covers();
    for (int cover = 0; cover < 5; ++cover) {
        driver.tap(X11TestDriver::kN, {X11TestDriver::kLeftAlt, X11TestDriver::kLeftSuper});
        waitFor([&] { return covers() > before + cover; }, 3);
    }
    if (covers() < before + 5) {
        state.SkipWithError("the shortcuts made no five covers");
        return;
    }
    // The pointer rests away from the covers (over one, its control panel would show), and the
    // last control panel has gone.
    driver.moveMouse(5, 795);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    constexpr double kIdleSeconds = 3;
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds(run.pid());
        const long switchesBefore = statusField(run.pid(), "voluntary_ctxt_switches") +
                                    statusField(run.pid(), "nonvoluntary_ctxt_switches");
        std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
        const long switchesAfter = statusField(run.pid(), "voluntary_ctxt_switches") +
                                   statusField(run.pid(), "nonvoluntary_ctxt_switches");
        state.counters["idle_cpu_ms_per_s"] =
            (processCpuSeconds(run.pid()) - cpuBefore) * 1000 / kIdleSeconds;
        state.counters["idle_wakeups_per_s"] =
            static_cast<double>(switchesAfter - switchesBefore) / kIdleSeconds;
    }
    state.counters["rss_mb"] = static_cast<double>(statusField(run.pid(), "VmRSS")) / 1024;
}
BENCHMARK(BM_X11ProgramIdleWithFocusAndFiveCovers)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori::bench

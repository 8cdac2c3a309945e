// The real program, started fresh for each measure, on a private desktop with a system tray: what
// a user meets at the first click on the status icon, and what the program costs when it sits
// idle with Focus on. Nothing is warm from earlier benchmarks: fonts, panels and caches are the
// fresh process's own.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "X11BenchDesktop.hpp"
#include "X11ProgramProcess.hpp"

namespace talvori::bench {
namespace {

std::vector<std::vector<int>> shownPanels(X11TestDriver& driver) {
    return X11ProgramProcess::shownPanels(driver);
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
            if (parent != driver.root() && driver.isViewable(child) &&
                X11ProgramProcess::isOurs(driver, child)) {
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

// The program on a desktop of its own (the other programs' windows included), started as a user
// who went through the first run starts it: its status item docks in the desktop's tray.
class ProgramRun {
  public:
    ProgramRun() : desktop_({.program = false, .tray = true}), program_(desktop_.session()) {}
    std::string error() {
        if (!desktop_.error().empty()) return desktop_.error();
        return program_.error();
    }
    X11BenchDesktop& desktop() { return desktop_; }
    X11TestDriver& driver() { return desktop_.driver(); }
    X11ProgramProcess& program() { return program_; }
    // The status icon docked, and the start-up's work done.
    std::optional<std::vector<int>> waitUntilSettled() {
        std::optional<std::vector<int>> icon;
        if (!waitFor([&] { return (icon = trayIcon(driver())).has_value(); }, 10)) return icon;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return icon;
    }

  private:
    X11BenchDesktop desktop_;
    X11ProgramProcess program_;
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
// nothing: the program's own CPU, wake-ups (its threads' context switches) and resident
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
        const auto before = run.program().cost();
        std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
        const auto idle = run.program().cost() - before;
        state.counters["idle_cpu_ms_per_s"] = idle.cpuSeconds * 1000 / kIdleSeconds;
        state.counters["idle_wakeups_per_s"] =
            static_cast<double>(idle.wakeups + idle.preemptions) / kIdleSeconds;
    }
    state.counters["rss_mb"] = static_cast<double>(run.program().statusField("VmRSS")) / 1024;
}
BENCHMARK(BM_X11ProgramIdleWithFocusAndFiveCovers)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori::bench

// The status item on a real X server: a private Xvfb with openbox and picom, a private session bus
// and a stand-in for the desktop's watcher, the program's runtime as it starts.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"
#include "platform/x11/harness/X11TestWatcher.hpp"

namespace talvori {
namespace {

using testing::X11TestBus;
using testing::X11TestDriver;
using testing::X11TestSession;
using testing::X11TestWatcher;
using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Runs the program's loop, and the watcher's bus, until `condition` holds; false after 5 s.
template <class Condition>
bool runUntil(X11TestWatcher& watcher, Condition condition) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        platform().runLoop().runOnce(0.0002);
        watcher.process();
    }
    return true;
}

// From the host's Activate call (sent over the session bus, as a desktop's panel sends it) to the
// menu-bar panel mapped on the server; the panel closes again between calls, untimed. The first
// opening, which builds the panel, is "first_ms".
void BM_X11StatusItemActivateToPanel(benchmark::State& state) {
    X11TestSession session(X11TestSession::Options{});
    X11TestBus bus(session);
    if (!session.isReady() || !bus.isReady()) {
        state.SkipWithError(session.isReady() ? bus.error().c_str() : session.error().c_str());
        return;
    }
    X11TestWatcher watcher(bus);
    auto real = Platform::makeReal();
    real->setUserDefaults(UserDefaults::inMemory());
    Platform::install(std::move(real));
    {
        auto desktop = x11::X11Desktop::install(platform(), session.display().c_str());
        X11TestDriver driver(session.display());
        auto coordinator = RuntimeCoordinator::create();
        auto manager = coordinator->startRuntime();
        auto& menuBar = manager->menuBarPanelController();
        if (!runUntil(watcher, [&] {
                return watcher.items().size() == 1 && menuBar.statusItem()->isVisible();
            })) {
            state.SkipWithError("the status item did not register");
        } else {
            const std::string item = watcher.items().front();
            auto open = [&] {
                const auto& panel = menuBar.panel();
                return panel && driver.isViewable(panel->windowNumber());
            };
            // The focus going back where it was when the panel closes, as between a user's
            // clicks.
            auto settle = [&] {
                const auto until = Clock::now() + std::chrono::milliseconds(30);
                runUntil(watcher, [&] { return Clock::now() >= until; });
            };
            auto toggle = [&](bool wanted) {
                watcher.activate(item, 1200, 12);
                return runUntil(watcher, [&] { return open() == wanted; });
            };
            const auto firstStart = Clock::now();
            toggle(true);
            state.counters["first_ms"] = milliseconds(Clock::now() - firstStart);
            toggle(false);
            settle();
            std::vector<double> latencies;
            for (auto _ : state) {
                const auto start = Clock::now();
                if (!toggle(true)) {
                    state.SkipWithError("the panel did not open");
                    break;
                }
                const auto seconds = std::chrono::duration<double>(Clock::now() - start).count();
                state.SetIterationTime(seconds);
                latencies.push_back(seconds * 1000);
                toggle(false);
                settle();
            }
            if (!latencies.empty()) {
                std::sort(latencies.begin(), latencies.end());
                state.counters["p50_ms"] = latencies[latencies.size() / 2];
                state.counters["p95_ms"] = latencies[latencies.size() * 95 / 100];
            }
        }
        menuBar.tearDown();
    }
    Platform::uninstall();
}
BENCHMARK(BM_X11StatusItemActivateToPanel)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

}  // namespace
}  // namespace talvori

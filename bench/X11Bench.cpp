// Covers and the idle program on a real X server (see X11BenchDesktop.hpp); the Focus switches
// are in X11FocusBench.cpp.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "X11BenchDesktop.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/x11/harness/X11RoundTrips.hpp"

namespace talvori::bench {
namespace {

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

// From a program moving its window to the server moving the cover attached to it: the cover's
// own ConfigureNotify at its new place ("p50_ms"), the window manager's of the frame
// ("wm_p50_ms"), and the cover's after the frame's, move by move ("lag_p50_ms").
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
    cover->attach(RunningApplication{desktop.beta.pid, "Beta", "Beta", ActivationPolicy::regular});
    desktop.runFor(0.2);
    const xcb_window_t frame = driver.frameOf(desktop.beta.window);
    const int startX = driver.rootGeometry(window).at(0);
    ServerWatch watch(desktop.display());
    std::vector<double> latencies;
    std::vector<double> managerLatencies;
    std::vector<double> lags;
    const double cpuBefore = desktop.cpuSeconds;
    int offset = 40;
    for (auto _ : state) {
        const int expected = startX + offset;
        const auto start = Clock::now();
        struct Seen {
            Clock::time_point frame;
            Clock::time_point cover;
        };
        auto seen = std::make_shared<Seen>();
        watch.start([seen](X11TestDriver&) { return seen->cover != Clock::time_point{}; },
                    [seen, frame, window, expected](const xcb_generic_event_t& event,
                                                    Clock::time_point at) {
                        if ((event.response_type & 0x7F) != XCB_CONFIGURE_NOTIFY) return;
                        const auto& configure =
                            reinterpret_cast<const xcb_configure_notify_event_t&>(event);
                        if (configure.window == frame && seen->frame == Clock::time_point{}) {
                            seen->frame = at;
                        }
                        if (configure.window == window && configure.x == expected) {
                            seen->cover = at;
                        }
                    });
        driver.move(desktop.beta.window, 700 + offset, 380);
        if (!desktop.runUntilSeen(watch)) {
            state.SkipWithError("the cover did not follow its window");
            break;
        }
        latencies.push_back(milliseconds(seen->cover - start));
        if (seen->frame != Clock::time_point{}) {
            managerLatencies.push_back(milliseconds(seen->frame - start));
            lags.push_back(milliseconds(seen->cover - seen->frame));
        }
        state.SetIterationTime(std::chrono::duration<double>(seen->cover - start).count());
        desktop.runFor(0.01);
        offset = offset == 40 ? 0 : 40;
    }
    const double moves = static_cast<double>(std::max<std::size_t>(latencies.size(), 1));
    state.counters["p50_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["wm_p50_ms"] = percentile(managerLatencies, 0.5);
    state.counters["lag_p50_ms"] = percentile(lags, 0.5);
    state.counters["lag_p99_ms"] = percentile(lags, 0.99);
    state.counters["our_cpu_ms"] = (desktop.cpuSeconds - cpuBefore) * 1000 / moves;
}
BENCHMARK(BM_X11AttachedCoverFollowsAMove)->UseManualTime()->Unit(benchmark::kMillisecond);

// Focus on, five covers shown, nothing happening: the program's CPU, loop wake-ups and answers
// waited for over three seconds (the safety net's own timer fires about once). The program's own
// memory is measured on a fresh process (X11ProgramBench.cpp).
void BM_X11IdleWithFocusAndFiveCovers(benchmark::State& state) {
    X11BenchDesktop desktop;
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    desktop.activate(desktop.alpha.window);
    auto controller = SpotlightController::create(
        SpotlightPanelManager::create(), PermissionManager::shared(), UserDefaults::inMemory());
    controller->activate();
    std::vector<std::shared_ptr<OverlayWindowController>> covers;
    for (int index = 0; index < 5; ++index) {
        covers.push_back(showCover(Rect(150 + 200 * index, 100 + 40 * index, 180, 120)));
    }
    desktop.runFor(1.0);
    constexpr double kIdleSeconds = 3;
    for (auto _ : state) {
        const double cpuBefore = desktop.cpuSeconds;
        const long passesBefore = desktop.passes;
        const testing::X11RoundTrips waits(desktop.programConnection());
        desktop.runFor(kIdleSeconds);
        state.counters["idle_cpu_ms_per_s"] =
            (desktop.cpuSeconds - cpuBefore) * 1000 / kIdleSeconds;
        state.counters["idle_wakeups_per_s"] =
            static_cast<double>(desktop.passes - passesBefore) / kIdleSeconds;
        state.counters["idle_round_trips"] = static_cast<double>(waits.count());
    }
    controller->deactivate();
    desktop.runFor(0.3);
}
BENCHMARK(BM_X11IdleWithFocusAndFiveCovers)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori::bench

#include <benchmark/benchmark.h>

#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori {
namespace {

constexpr int kWindows = 100;

// A simulated desktop with ten applications of ten windows each, and one panel of ours.
struct Desktop {
    std::shared_ptr<sim::SimDesktop> desktop;
    std::vector<std::uint32_t> windows;
    std::shared_ptr<Panel> panel;

    Desktop() {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
        for (int app = 0; app < kWindows / 10; ++app) {
            const auto pid = desktop->world().launchApplication("App " + std::to_string(app));
            for (int index = 0; index < 10; ++index) {
                const double offset = 10.0 * (app * 10 + index);
                windows.push_back(desktop->world().openWindow(
                    pid, "Window " + std::to_string(index), {offset, offset, 400, 300}));
            }
        }
        panel =
            platform().application().makePanel({0, 0, 1440, 900}, StyleMask::nonactivatingPanel);
        panel->orderFront();
    }
    ~Desktop() {
        panel.reset();
        desktop.reset();
        Platform::uninstall();
    }
};

void BM_WindowListRead(benchmark::State& state) {
    Desktop setup;
    for (auto _ : state) {
        auto list = platform().windowList().copyWindowInfo(
            WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
        benchmark::DoNotOptimize(list);
    }
    state.counters["windows"] = static_cast<double>(setup.windows.size() + 2);
}
BENCHMARK(BM_WindowListRead);

void BM_OrderPanelBelowWindow(benchmark::State& state) {
    Desktop setup;
    std::size_t next = 0;
    for (auto _ : state) {
        // A different window each time, front and back of the stack alike.
        const std::uint32_t target = setup.windows[next];
        next = (next + 37) % setup.windows.size();
        benchmark::DoNotOptimize(setup.panel->orderRelative(WindowOrderingMode::below, target));
    }
}
BENCHMARK(BM_OrderPanelBelowWindow);

}  // namespace
}  // namespace talvori

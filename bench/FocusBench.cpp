#include <benchmark/benchmark.h>

#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori {
namespace {

// A simulated desktop with `count` windows, ten to an application, the first application in
// front and Focus on.
struct FocusDesktop {
    std::shared_ptr<sim::SimDesktop> desktop;
    std::shared_ptr<SpotlightController> controller;
    std::uint32_t front = 0;
    std::uint32_t behind = 0;

    explicit FocusDesktop(int count) {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        auto& world = desktop->world();
        world.setEventLogEnabled(false);
        std::int32_t first = 0;
        for (int app = 0; app < count / 10; ++app) {
            const auto pid = world.launchApplication("App " + std::to_string(app));
            if (app == 0) first = pid;
            for (int index = 0; index < 10; ++index) {
                const double offset = 5.0 * (app * 10 + index);
                const auto number = world.openWindow(pid, "Window", {offset, offset, 400, 300});
                if (app == 0 && index == 0) behind = number;
            }
        }
        world.activateApplication(first);
        platform().virtualClock()->runUntilIdle();
        controller = SpotlightController::create(
            SpotlightPanelManager::create(), PermissionManager::shared(), UserDefaults::inMemory());
        controller->activate();
        platform().virtualClock()->advance(1);
        front = controller->shadeAnchorWindowID();
    }
    ~FocusDesktop() {
        controller->deactivate();
        platform().virtualClock()->advance(1);
        controller.reset();
        desktop.reset();
        Platform::uninstall();
    }
};

// One decision as every focus event makes it: read the window list into a snapshot, keep the
// eligible windows, decide, and place the panel.
void BM_FocusDecision(benchmark::State& state) {
    FocusDesktop setup(static_cast<int>(state.range(0)));
    // Alternate a commit of the front window with a hold for a window listed behind it.
    bool commit = true;
    int sinceClear = 0;
    for (auto _ : state) {
        const std::uint32_t candidate = commit ? setup.front : setup.behind;
        commit = !commit;
        auto snapshot = setup.controller->focusSnapshot(candidate);
        benchmark::DoNotOptimize(
            setup.controller->updateShadeAnchor(candidate, *snapshot, "Benchmark", true));
        if (++sinceClear == 1000) {
            platform().logCapture()->clear();
            sinceClear = 0;
        }
    }
    state.counters["windows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_FocusDecision)->Arg(50)->Arg(200);

}  // namespace
}  // namespace talvori

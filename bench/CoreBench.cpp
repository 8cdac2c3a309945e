#include <benchmark/benchmark.h>

#include "platform/Platform.hpp"
#include "platform/core/Task.hpp"
#include "platform/core/Timer.hpp"

namespace talvori {
namespace {

// Posting and running no-op tasks: each task starts on a later turn and ends there.
void BM_PostAndRunNoOpTasks(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto platform = Platform::makeVirtual();
        auto& loop = platform->runLoop();
        for (int i = 0; i < count; ++i) {
            (void)Task::start(loop, []() -> Async { co_return; });
        }
        platform->virtualClock()->runUntilIdle();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_PostAndRunNoOpTasks)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Posting and running plain closures, the cheapest unit of work.
void BM_PostAndRunClosures(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto platform = Platform::makeVirtual();
        auto& loop = platform->runLoop();
        for (int i = 0; i < count; ++i) loop.post([] {});
        platform->virtualClock()->runUntilIdle();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_PostAndRunClosures)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Scheduling one-shot timers at spread-out due times and firing them all on the virtual clock.
void BM_ScheduleAndFireTimers(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto platform = Platform::makeVirtual();
        auto& loop = platform->runLoop();
        int fired = 0;
        for (int i = 0; i < count; ++i) {
            (void)Timer::scheduledTimer(loop, 0.001 * (i % 997 + 1), false,
                                        [&fired](Timer&) { ++fired; });
        }
        platform->virtualClock()->advance(2);
        benchmark::DoNotOptimize(fired);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ScheduleAndFireTimers)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

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

// Opening a settings file of `count` keys (flags, numbers, texts and small dictionaries, as
// settings are) and writing it back with one change: what a start and the first saved change cost.
void BM_LoadAndWriteSettingsFile(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    char pattern[] = "/tmp/talvori-bench-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    const std::string path = folder + "/defaults.json";
    auto platform = Platform::makeVirtual();
    {
        auto defaults = UserDefaults::fileBacked(path, platform->sharedRunLoop(), Logger());
        for (int i = 0; i < count; ++i) {
            const std::string key = "setting." + std::to_string(i);
            switch (i % 5) {
                case 0:
                    defaults->set(key, i % 2 == 0);
                    break;
                case 1:
                    defaults->set(key, i);
                    break;
                case 2:
                    defaults->set(key, i / 7.0);
                    break;
                case 3:
                    defaults->set(key, "Overlay " + std::to_string(i));
                    break;
                default:
                    defaults->set(key, DefaultsValue::Dictionary{{"name", "Layout"},
                                                                 {"data", Data{1, 2, 3}}});
            }
        }
        defaults->synchronize();
    }
    int round = 0;
    for (auto _ : state) {
        auto defaults = UserDefaults::fileBacked(path, platform->sharedRunLoop(), Logger());
        defaults->set("key.0", ++round);
        benchmark::DoNotOptimize(defaults->synchronize());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadAndWriteSettingsFile)->Arg(20'000)->Unit(benchmark::kMillisecond);

// A change to a store whose file is large (a big layout among the settings, near the most the store
// reads): what the main thread spends from the change until the write is under way. The write
// itself runs on the store's own thread.
void BM_ChangeWithALargeSettingsFile(benchmark::State& state) {
    char pattern[] = "/tmp/talvori-bench-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    const std::string path = folder + "/defaults.json";
    auto platform = Platform::makeVirtual();
    {
        auto defaults = UserDefaults::fileBacked(path, platform->sharedRunLoop(), Logger());
        defaults->set("tarnel.presets", Data(static_cast<std::size_t>(state.range(0)), 7));
        defaults->synchronize();
    }
    auto defaults = UserDefaults::fileBacked(path, platform->sharedRunLoop(), Logger());
    int round = 0;
    for (auto _ : state) {
        defaults->set("spotlight.settings", ++round);
        platform->virtualClock()->advance(UserDefaults::kFlushDelay);
    }
    defaults->synchronize();
    defaults.reset();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ChangeWithALargeSettingsFile)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

// A change to a store whose file another program made far larger than settings ever are: what
// each change costs the process, the writer's thread included (process CPU time), and the peak
// memory of the process, its loading included (peak_rss_MB; run this benchmark alone for it).
void BM_ChangeWithAnOversizedSettingsFile(benchmark::State& state) {
    char pattern[] = "/tmp/talvori-bench-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    const std::string path = folder + "/defaults.json";
    {
        std::ofstream file(path);
        file << "{\"notes\": \"";
        const std::string piece(1'000'000, 'x');
        for (std::int64_t pieces = state.range(0) / 1'000'000; pieces > 0; --pieces) file << piece;
        file << "\"}";
    }
    auto platform = Platform::makeVirtual();
    auto defaults = UserDefaults::fileBacked(path, platform->sharedRunLoop(), Logger());
    int round = 0;
    for (auto _ : state) {
        defaults->set("spotlight.settings", ++round);
        benchmark::DoNotOptimize(defaults->synchronize());
    }
    defaults.reset();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ChangeWithAnOversizedSettingsFile)
    ->Arg(50'000'000)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori

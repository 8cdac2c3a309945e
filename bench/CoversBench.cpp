#include <benchmark/benchmark.h>

#include <filesystem>

#include "covers/OverlayModel.hpp"
#include "covers/PresetManager.hpp"
#include "platform/Platform.hpp"

namespace talvori {
namespace {

OverlayModel benchCover(int index) {
    return OverlayModel{
        .id = UUID::random(),
        .name = "Overlay " + std::to_string(index + 1),
        .frame = {100.5 + index, 200.25 * index, 300 + 0.1 * index, 150},
        .color = {0.96078431372549022, 0.62745098039215685, 0.20784313725490197, 1},
        .opacity = 0.1 + 0.037 * (index % 20),
        .blurRadius = 12.5,
        .effectType = index % 2 ? EffectType::glass : EffectType::solid,
        .isClickThroughEnabled = index % 3 == 0,
        .zOrderMode = index % 4 ? ZOrderMode::floating : ZOrderMode::smart,
        .attachmentInfo = index % 5 ? std::nullopt
                                    : std::optional<AttachmentInfo>(
                                          AttachmentInfo{4000 + index, "org.example.App", "App"}),
    };
}

std::vector<PresetModel> benchPresets(int layouts, int coversEach) {
    std::vector<PresetModel> presets;
    for (int i = 0; i < layouts; ++i) {
        PresetModel preset{UUID::random(), "Layout " + std::to_string(i + 1), {}};
        for (int j = 0; j < coversEach; ++j) preset.overlays.push_back(benchCover(j));
        presets.push_back(std::move(preset));
    }
    return presets;
}

// Saving the layouts through the file-backed store and loading them back. The store writes its
// file a moment after the change; the second variant also writes it at once (synchronize).
void saveAndLoadLayouts(benchmark::State& state, bool writeFile) {
    Platform::install(Platform::makeVirtual());
    const auto path = std::filesystem::temp_directory_path() /
                      ("talvori-bench-presets-" + UUID::random().uuidString() + ".json");
    {
        // The store writes what is pending when its last holder, the manager, lets it go.
        auto defaults = UserDefaults::fileBacked(path, platform().sharedRunLoop(), Logger());
        PresetManager manager(PresetManager::standardKey, defaults);
        const auto presets = benchPresets(static_cast<int>(state.range(0)), 20);
        for (auto _ : state) {
            manager.save(presets);
            if (writeFile) defaults->synchronize();
            auto loaded = manager.load();
            benchmark::DoNotOptimize(loaded);
        }
    }
    for (const char* suffix : {"", ".bak", ".lock"})
        std::filesystem::remove(path.string() + suffix);
    Platform::uninstall();
}
void BM_SaveAndLoadLayouts(benchmark::State& state) {
    saveAndLoadLayouts(state, false);
}
void BM_SaveWriteFileAndLoadLayouts(benchmark::State& state) {
    saveAndLoadLayouts(state, true);
}
BENCHMARK(BM_SaveAndLoadLayouts)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveWriteFileAndLoadLayouts)->Arg(100)->Unit(benchmark::kMillisecond);

// The difference between the open covers and a layout, with one field changed on every cover.
void BM_PresetChanges(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    std::vector<OverlayModel> saved;
    for (int i = 0; i < count; ++i) saved.push_back(benchCover(i));
    std::vector<OverlayModel> current = saved;
    for (auto& cover : current) cover.opacity += 0.01;
    for (auto _ : state) {
        auto changes = OverlayModel::presetChanges(current, saved);
        benchmark::DoNotOptimize(changes);
    }
}
BENCHMARK(BM_PresetChanges)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori

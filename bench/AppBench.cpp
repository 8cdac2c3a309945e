#include <benchmark/benchmark.h>
#include <cairo.h>
#include <time.h>

#include "GlobalShortcuts/Registry.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "covers/PresetManager.hpp"
#include "focus/SpotlightController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimInput.hpp"
#include "platform/sim/SimStatusBar.hpp"
#include "platform/sim/SimStatusItem.hpp"
#include "platform/sim/SimWorld.hpp"
#include "session/ShortcutNames.hpp"
#include "ui/PanelHost.hpp"
#include "updates/Updater.hpp"

namespace talvori {
namespace {

// The CPU time this thread has used, in seconds: the figures count our own work, not the time other
// programs on the machine take from it.
double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A fresh simulated desktop for an onboarded user with `layouts` stored layouts of ten covers.
struct AppDesktop {
    std::shared_ptr<sim::SimDesktop> desktop;
    std::shared_ptr<TalvoriApp> app;

    explicit AppDesktop(int layouts) {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
        platform().userDefaults().set("hasCompletedOnboarding", true);
        // The updater's scheduled checks would reach for the network.
        platform().userDefaults().set(updates::Updater::kAutomaticChecksKey, false);
        std::vector<PresetModel> presets(static_cast<std::size_t>(layouts));
        for (auto& preset : presets) {
            preset.name = "Layout";
            for (int index = 0; index < 10; ++index) {
                OverlayModel cover;
                cover.name = "Overlay " + std::to_string(index + 1);
                cover.frame = CodableRect{10.0 * index, 20.0 * index, 300, 200};
                preset.overlays.push_back(cover);
            }
        }
        PresetManager(PresetManager::standardKey, platform().userDefaults().shared_from_this())
            .save(presets);
    }
    ~AppDesktop() {
        if (auto manager = windowManager()) manager->spotlightController().deactivate();
        platform().virtualClock()->advance(1);
        app.reset();
        platform().virtualClock()->advance(1);
        desktop.reset();
        Platform::uninstall();
    }
    void start() {
        app = TalvoriApp::start();
        platform().virtualClock()->runUntilIdle();
    }
    std::shared_ptr<WindowManager> windowManager() const {
        return app ? app->runtime()->windowManager.peek() : nullptr;
    }
};

// From the program's start to the status item on screen: the application, the start-up decision
// and the whole runtime with its stored layouts.
// Each iteration times only that, in CPU time, apart from making and removing its desktop.
void BM_StartUpToStatusItem(benchmark::State& state) {
    for (auto _ : state) {
        auto setup = std::make_unique<AppDesktop>(20);
        const double start = threadCpuSeconds();
        setup->start();
        state.SetIterationTime(threadCpuSeconds() - start);
        if (setup->desktop->statusBar().items().empty()) state.SkipWithError("no status item");
    }
}
BENCHMARK(BM_StartUpToStatusItem)->UseManualTime()->Unit(benchmark::kMillisecond);

// Opening the menu-bar panel for the first time with 20 covers open: build, fit, place and draw
// it at scale 1.
void BM_OpenMenuBarPanel(benchmark::State& state) {
    for (auto _ : state) {
        auto setup = std::make_unique<AppDesktop>(0);
        setup->start();
        const auto manager = setup->windowManager();
        for (int index = 0; index < 20; ++index) manager->createCover();
        platform().virtualClock()->runUntilIdle();
        const double start = threadCpuSeconds();
        manager->showMenuBarPanel();
        const auto& panel = manager->menuBarPanelController().panel();
        const Size size = panel->frame().size;
        cairo_surface_t* surface = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(size.width), static_cast<int>(size.height));
        cairo_t* cr = cairo_create(surface);
        panel->hostedContent()->draw(cr, size);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        state.SetIterationTime(threadCpuSeconds() - start);
    }
}
BENCHMARK(BM_OpenMenuBarPanel)->UseManualTime()->Unit(benchmark::kMillisecond);

// The toggle-Focus shortcut typed on the keyboard until Focus is on (or off again).
void BM_ToggleFocusShortcut(benchmark::State& state) {
    AppDesktop setup(0);
    setup.desktop->world().setAccessibilityTrusted(true);
    setup.start();
    const auto shortcut = ShortcutNames::toggleFocus().shortcut();
    const auto stroke = sim::KeyStroke::key(static_cast<std::uint16_t>(shortcut->carbonKeyCode), "",
                                            shortcut->modifiers());
    for (auto _ : state) {
        setup.desktop->input().typeKey(stroke);
        platform().virtualClock()->runUntilIdle();
        state.PauseTiming();
        platform().virtualClock()->advance(1);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ToggleFocusShortcut)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori

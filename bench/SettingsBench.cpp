#include <benchmark/benchmark.h>
#include <cairo.h>
#include <time.h>

#include "app/TalvoriApp.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimApplication.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"
#include "updates/Updater.hpp"

namespace talvori {
namespace {

// The CPU time this thread has used: the figures count our own work, not other programs'.
double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The running application of an onboarded user on a fresh simulated desktop.
struct SettingsDesktop {
    std::shared_ptr<sim::SimDesktop> desktop;
    std::shared_ptr<TalvoriApp> app;

    SettingsDesktop() {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
        platform().userDefaults().set("hasCompletedOnboarding", true);
        // Scheduled update checks would reach for the network.
        platform().userDefaults().set(updates::Updater::kAutomaticChecksKey, false);
        app = TalvoriApp::start();
        platform().virtualClock()->runUntilIdle();
        platform().application().activate();
    }
    ~SettingsDesktop() {
        platform().virtualClock()->advance(1);
        app.reset();
        platform().virtualClock()->advance(1);
        desktop.reset();
        Platform::uninstall();
    }
    std::shared_ptr<Panel> window() const {
        return desktop->application().sceneWindow(TalvoriApp::kSettingsSceneID);
    }
    ui::Host& views() const {
        return static_cast<ui::PanelHost&>(*window()->hostedContent()).host();
    }
    // The tab chosen, laid out at the window's new size and drawn at scale 1.
    void show(const char* tab) const {
        views().find(ui::Query::byLabel(tab)).click();
        views().updateNow();
        draw();
    }
    void draw() const {
        const Size size = window()->frame().size;
        cairo_surface_t* surface = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(size.width), static_cast<int>(size.height));
        cairo_t* cr = cairo_create(surface);
        window()->hostedContent()->draw(cr, size);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
};

// Opening the settings window: its views built, fitted and drawn on General, then Shortcuts
// shown and drawn, at scale 1.
void BM_OpenSettingsWindow(benchmark::State& state) {
    for (auto _ : state) {
        auto setup = std::make_unique<SettingsDesktop>();
        const double start = threadCpuSeconds();
        platform().application().openWindow(TalvoriApp::kSettingsSceneID);
        setup->draw();
        setup->show("Shortcuts");
        state.SetIterationTime(threadCpuSeconds() - start);
        if (setup->window()->frame().height() < 558) state.SkipWithError("Shortcuts not shown");
    }
}
BENCHMARK(BM_OpenSettingsWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

// One switch between the tabs of an open settings window, the new tab laid out and drawn.
void BM_SwitchSettingsTab(benchmark::State& state) {
    SettingsDesktop setup;
    platform().application().openWindow(TalvoriApp::kSettingsSceneID);
    setup.draw();
    bool shortcuts = false;
    for (auto _ : state) {
        shortcuts = !shortcuts;
        const double start = threadCpuSeconds();
        setup.show(shortcuts ? "Shortcuts" : "General");
        state.SetIterationTime(threadCpuSeconds() - start);
    }
}
BENCHMARK(BM_SwitchSettingsTab)->UseManualTime()->Unit(benchmark::kMillisecond);

// One Tab press moving the focus on through the Shortcuts tab (round its tabs and fields), the
// window drawn again with the ring in its new place.
void BM_TabThroughSettings(benchmark::State& state) {
    SettingsDesktop setup;
    platform().application().openWindow(TalvoriApp::kSettingsSceneID);
    setup.show("Shortcuts");
    for (auto _ : state) {
        const double start = threadCpuSeconds();
        if (!setup.views().press(ui::Key::tab)) state.SkipWithError("nothing takes the focus");
        setup.views().updateNow();
        setup.draw();
        state.SetIterationTime(threadCpuSeconds() - start);
    }
}
BENCHMARK(BM_TabThroughSettings)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <time.h>

#include "GlobalShortcuts/Registry.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "covers/OverlayViewModel.hpp"
#include "focus/SpotlightController.hpp"
#include "menubar/MainWindowView.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"
#include "reminder/UpdateReminder.hpp"
#include "ui/PanelHost.hpp"

namespace talvori {
namespace {

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void advance(double seconds) {
    platform().virtualClock()->advance(seconds);
}

// The running application with 20 covers open, attached to an editor, saved as 20 layouts, and
// the menu-bar panel open.
struct PanelDesktop {
    std::shared_ptr<sim::SimDesktop> desktop;
    std::shared_ptr<TalvoriApp> app;
    std::shared_ptr<WindowManager> manager;

    explicit PanelDesktop(int covers = 20, int layouts = 20) {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
        desktop->world().setAccessibilityTrusted(true);
        const auto editor = desktop->world().launchApplication("Editor", "org.example.Editor");
        desktop->world().openWindow(editor, "Draft", Rect(200, 200, 800, 500));
        platform().userDefaults().set("hasCompletedOnboarding", true);
        app = TalvoriApp::start();
        platform().virtualClock()->runUntilIdle();
        manager = app->runtime()->windowManager.peek();
        for (int index = 0; index < covers; ++index) {
            const auto cover = manager->createCover();
            cover->model.modify([&](OverlayModel& model) {
                model.frame.x = 20.0 * index;
                model.attachmentInfo = AttachmentInfo{editor, "org.example.Editor", "Editor"};
            });
        }
        for (int index = 0; index < layouts; ++index) {
            manager->saveCurrentAsPreset("Layout " + std::to_string(index + 1));
        }
        manager->showMenuBarPanel();
        advance(1);
    }
    ~PanelDesktop() {
        manager->spotlightController().deactivate();
        manager.reset();
        advance(1);
        app.reset();
        advance(1);
        desktop.reset();
        Platform::uninstall();
    }
    ui::Host& views() const {
        const auto& content = manager->menuBarPanelController().panel()->hostedContent();
        return static_cast<ui::PanelHost&>(*content).host();
    }
    // Lets `frames` frames pass one at a time, the panel drawn at scale 1 after each.
    void advanceDrawing(int frames) const {
        for (int frame = 0; frame < frames; ++frame) {
            advance(1.0 / 60);
            views().updateNow();
            draw(1);
        }
    }
    // Draws the panel as the window server would, `scale` pixels per point.
    void draw(double scale) const {
        const Size size = manager->menuBarPanelController().panel()->frame().size;
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * scale),
                                       static_cast<int>(size.height * scale));
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, scale, scale);
        views().draw(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
};

// The whole panel built again from its root, laid out and drawn: with 20 covers and 20 layouts at
// scales 1 and 2, then at scale 1 empty, with the covers only and with the layouts only.
void BM_MenuBarPanelRebuildLayoutDraw(benchmark::State& state) {
    PanelDesktop setup(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    const double scale = static_cast<double>(state.range(0));
    const std::weak_ptr<WindowManager> weak = setup.manager;
    for (auto _ : state) {
        const double start = cpuSeconds();
        setup.views().setRootView(ui::MainWindowView{weak, {}, {}, UpdateReminder::shared(), {}});
        setup.views().updateNow();
        setup.draw(scale);
        state.SetIterationTime(cpuSeconds() - start);
    }
}
BENCHMARK(BM_MenuBarPanelRebuildLayoutDraw)
    ->Args({1, 20, 20})
    ->Args({2, 20, 20})
    ->Args({1, 0, 0})
    ->Args({1, 20, 0})
    ->Args({1, 0, 20})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// One frame in the middle of the close-all cascade: the cascade's step, the rows' animation and
// the panel drawn at scale 1. The frames just before it are drawn too, as the window draws every
// frame it is asked for: the measured one draws what changed since the frame before, not all that
// changed since the panel was last drawn seconds earlier.
void BM_CloseAllCascadeFrame(benchmark::State& state) {
    PanelDesktop setup;
    constexpr double kFrame = 1.0 / 60;
    // The first catches up with the cascade so far, the next makes the kept picture again; from
    // then on each frame draws its own changes.
    constexpr int kFramesDrawnBefore = 4;
    for (auto _ : state) {
        setup.manager->closeAll();
        advance(1.2 - kFramesDrawnBefore * kFrame);
        setup.advanceDrawing(kFramesDrawnBefore);
        const double start = cpuSeconds();
        advance(kFrame);
        setup.views().updateNow();
        setup.draw(1);
        state.SetIterationTime(cpuSeconds() - start);
        advance(2);
        setup.manager->undoCloseAll();
        advance(1);
    }
}
// An iteration lets the whole cascade run around the measured frame: a fixed count keeps the run
// short.
BENCHMARK(BM_CloseAllCascadeFrame)->Iterations(10)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Applying a layout of 20 covers attached to a running application: windows shown and
// attachments started.
void BM_ApplyLayoutOf20Covers(benchmark::State& state) {
    PanelDesktop setup;
    const UUID layout = setup.manager->presets.peek().front().id;
    for (auto _ : state) {
        setup.manager->closeActiveLayout();
        advance(1);
        const double start = cpuSeconds();
        setup.manager->applyPreset(layout);
        state.SetIterationTime(cpuSeconds() - start);
        advance(1);
    }
}
BENCHMARK(BM_ApplyLayoutOf20Covers)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori

#include <benchmark/benchmark.h>
#include <cairo.h>

#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"
#include "ui/AlertView.hpp"

namespace talvori {
namespace {

// An alert shown as a sheet on a settings-sized window, drawn once at scale 1 with real text, and
// answered: the whole life of one alert on screen.
void BM_AlertShownAndDrawn(benchmark::State& state) {
    Platform::install(Platform::makeVirtual());
    auto desktop = sim::SimDesktop::install(platform());
    desktop->world().setEventLogEnabled(false);
    ui::AlertView::install(platform().alerts());
    auto window = platform().application().makePanel({300, 200, 540, 558}, StyleMask::titled);
    window->makeKeyAndOrderFront();
    Alert alert;
    alert.messageText = "This keyboard shortcut is already used by the system.";
    alert.informativeText = "Most system shortcuts can be changed in the keyboard settings.";
    alert.buttons = {"OK", "Use Anyway"};
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 400);
    cairo_t* cr = cairo_create(surface);
    for (auto _ : state) {
        std::shared_ptr<AlertWindow> shown;
        platform().alerts().beginSheetModal(alert, window, [](long) {});
        shown = platform().alerts().visibleAlerts().back();
        const auto& sheet = shown->window();
        sheet->hostedContent()->draw(cr, sheet->frame().size);
        shown->pressButton(0);
        platform().virtualClock()->runUntilIdle();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    window.reset();
    desktop.reset();
    Platform::uninstall();
}
BENCHMARK(BM_AlertShownAndDrawn)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori

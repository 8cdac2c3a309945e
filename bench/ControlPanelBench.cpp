#include <benchmark/benchmark.h>
#include <cairo.h>

#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori {
namespace {

// A simulated desktop with one solid cover and the control panel's controller, set up as the
// window manager sets it up.
struct ControlPanelScene {
    std::shared_ptr<sim::SimDesktop> desktop;
    std::shared_ptr<OverlayViewModel> cover;
    std::shared_ptr<ControlPanelController> controller;
    Rect frame{100, 300, 300, 200};

    ControlPanelScene() {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
        OverlayModel model;
        model.name = "Overlay 1";
        model.frame = CodableRect::fromRect(frame);
        model.color = {1, 0.5, 0, 1};
        model.opacity = 0.8;
        model.blurRadius = 20;
        cover = std::make_shared<OverlayViewModel>(model);
        controller = std::make_shared<ControlPanelController>(0.2, 0.3, 0.5);
        controller->viewModelProvider = [this](const UUID&) { return cover; };
    }
    ~ControlPanelScene() {
        controller->shutdown();
        controller.reset();
        desktop.reset();
        Platform::uninstall();
    }
    ui::Host& host() const { return controller->hostingView()->host(); }
    // Draws the panel's whole window at one pixel per point.
    void draw(cairo_t* context) const {
        cairo_save(context);
        cairo_set_operator(context, CAIRO_OPERATOR_CLEAR);
        cairo_paint(context);
        cairo_restore(context);
        controller->hostingView()->draw(context, controller->panel()->frame().size);
        cairo_surface_flush(cairo_get_target(context));
    }
};

// Showing the panel for a cover after it was hidden: a new presentation builds every view, lays
// the card out, places the window and draws it.
void BM_ShowControlPanel(benchmark::State& state) {
    ControlPanelScene scene;
    const UUID id = scene.cover->id();
    scene.controller->showPanel(id, scene.frame);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 900);
    cairo_t* context = cairo_create(surface);
    for (auto _ : state) {
        scene.controller->hideNow();
        scene.controller->showPanel(id, scene.frame);
        scene.host().updateNow();
        scene.draw(context);
    }
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_ShowControlPanel)->Unit(benchmark::kMicrosecond);

// One frame of a drag across the picker's square: the pointer moves, the cover takes the colour
// (and the code shown), the panel's views that read it are built again, laid out and drawn.
void BM_DragInSaturationBrightnessSquare(benchmark::State& state) {
    ControlPanelScene scene;
    scene.controller->showPanel(scene.cover->id(), scene.frame);
    auto& host = scene.host();
    host.updateNow();
    host.find(ui::Query::byLabel("Show color picker")).click();
    platform().virtualClock()->advance(1);
    host.updateNow();
    const Rect square = host.find(ui::Query::byIdentifier("saturationBrightnessSquare")).frame();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 900);
    cairo_t* context = cairo_create(surface);
    host.mouseDown({square.minX() + 10, square.minY() + 10});
    int step = 0;
    double measured = 0, drawn = 0;
    for (auto _ : state) {
        const double x = square.minX() + 10 + (step % 200);
        const double y = square.minY() + 10 + (step % 140);
        ++step;
        host.mouseDragged({x, y});
        platform().virtualClock()->runUntilIdle();
        measured += static_cast<double>(host.statistics().measured);
        scene.draw(context);
        drawn += static_cast<double>(host.statistics().drawn);
    }
    // The views each step measures and draws: a step should touch the picker, the code and the
    // swatch, not the whole card.
    state.counters["measured"] = benchmark::Counter(measured, benchmark::Counter::kAvgIterations);
    state.counters["drawn"] = benchmark::Counter(drawn, benchmark::Counter::kAvgIterations);
    host.mouseUp({square.minX() + 10, square.minY() + 10});
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_DragInSaturationBrightnessSquare)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori

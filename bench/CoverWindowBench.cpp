#include <benchmark/benchmark.h>
#include <cairo.h>

#include "covers/OverlayWindowController.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"
#include "ui/PanelHost.hpp"

namespace talvori {
namespace {

OverlayModel coverModel(const Rect& frame, EffectType effect) {
    OverlayModel model;
    model.name = "Overlay";
    model.frame = CodableRect::fromRect(frame);
    model.color = {0.2, 0.3, 0.4, 1};
    model.opacity = 0.8;
    model.blurRadius = 20;
    model.effectType = effect;
    return model;
}

// A simulated desktop with `count` covers, each attached to its own application's window.
struct AttachedCovers {
    std::shared_ptr<sim::SimDesktop> desktop;
    std::vector<std::shared_ptr<OverlayWindowController>> controllers;

    explicit AttachedCovers(int count) {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
        for (int index = 0; index < count; ++index) {
            const double offset = 20.0 * index;
            const auto pid = desktop->world().launchApplication("App " + std::to_string(index));
            desktop->world().openWindow(pid, "Window", {offset, offset, 400, 300});
            auto controller = OverlayWindowController::create(std::make_shared<OverlayViewModel>(
                coverModel({offset + 50, offset + 50, 200, 100}, EffectType::solid)));
            controller->show();
            controller->attach(desktop->world().process(pid)->runningApplication());
            controllers.push_back(std::move(controller));
        }
        platform().virtualClock()->runUntilIdle();
    }
    ~AttachedCovers() {
        for (const auto& controller : controllers) controller->close();
        controllers.clear();
        desktop.reset();
        Platform::uninstall();
    }
};

// Two Accessibility reads, the comparison, nothing to report.
void BM_HeartbeatTickWithoutChange(benchmark::State& state) {
    AttachedCovers setup(1);
    const auto service = setup.controllers.front()->attachmentService();
    for (auto _ : state) service->heartbeat();
}
BENCHMARK(BM_HeartbeatTickWithoutChange);

// One second of ten attached covers: 600 heartbeats with the run loop's timer work around them.
// The time per iteration is the share of one core they take.
void BM_TenAttachedCoversForOneSecond(benchmark::State& state) {
    AttachedCovers setup(10);
    for (auto _ : state) platform().virtualClock()->advance(1.0);
    state.counters["heartbeats"] = 600;
}
BENCHMARK(BM_TenAttachedCoversForOneSecond)->Unit(benchmark::kMicrosecond);

// One cover shown on a fresh simulated desktop, its content drawn whole (not copied from the
// frame its host keeps) into a picture of its own at `scale` for each iteration.
void drawCoverLoop(benchmark::State& state, const std::shared_ptr<OverlayViewModel>& viewModel,
                   int scale, bool blurAvailable) {
    Platform::install(Platform::makeVirtual());
    auto desktop = sim::SimDesktop::install(platform());
    desktop->world().setBackgroundBlurAvailable(blurAvailable);
    auto controller = OverlayWindowController::create(viewModel);
    controller->show();
    platform().virtualClock()->advance(1);
    auto content =
        std::dynamic_pointer_cast<ui::PanelHost>(controller->panel()->window().hostedContent());
    const Size size = viewModel->model.peek().frame.rect().size;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width) * scale,
                                   static_cast<int>(size.height) * scale);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* context = cairo_create(surface);
    for (auto _ : state) {
        cairo_save(context);
        cairo_set_operator(context, CAIRO_OPERATOR_CLEAR);
        cairo_paint(context);
        cairo_restore(context);
        content->host().setNeedsDisplay();
        content->draw(context, size);
        cairo_surface_flush(surface);
    }
    cairo_destroy(context);
    cairo_surface_destroy(surface);
    controller->close();
    controller.reset();
    content.reset();
    desktop.reset();
    Platform::uninstall();
}

// Drawing the whole content of a 400 x 300 cover, handles and readout included.
void BM_DrawCoverView(benchmark::State& state) {
    const auto effect = state.range(0) == 0 ? EffectType::solid : EffectType::glass;
    auto viewModel = std::make_shared<OverlayViewModel>(coverModel({100, 100, 400, 300}, effect));
    viewModel->isHandlesVisible.set(true);
    viewModel->isDragging.set(true);
    drawCoverLoop(state, viewModel, 1, true);
    state.SetLabel(effect == EffectType::solid ? "solid" : "glass");
}
BENCHMARK(BM_DrawCoverView)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A new glass cover of 800 x 600 drawn whole at scale 1 or 2, over the desktop's blur or frosted
// where the desktop blurs nothing.
void BM_DrawGlassCover(benchmark::State& state) {
    const bool blurred = state.range(1) != 0;
    drawCoverLoop(
        state,
        std::make_shared<OverlayViewModel>(coverModel({100, 100, 800, 600}, EffectType::glass)),
        static_cast<int>(state.range(0)), blurred);
    state.SetLabel(blurred ? "blurred" : "frosted");
}
BENCHMARK(BM_DrawGlassCover)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->ArgNames({"scale", "blurred"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori

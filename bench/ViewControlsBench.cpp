#include <benchmark/benchmark.h>

#include "platform/Platform.hpp"
#include "platform/core/Clock.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"
#include "ui/PanelHost.hpp"
#include "ui/Tooltip.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {
namespace {

// A popover's worth of content: a column of texts 232 points wide, as the shortcut recorder shows.
View popoverContent() {
    return VStack(10, {Text("Already used by").font(Font::system(12)),
                       Text("Toggle Focus Mode").font(Font::system(12, FontWeight::semibold)),
                       Text("Overwrite it or record a new shortcut")
                           .font(Font::system(11))
                           .foregroundColor(Color::white(0.5))
                           .multilineTextAlignment(TextAlignment::center)})
        .padding(EdgeInsets{16, 14, 14, 14})
        .frame({.width = 232});
}

// Our window on a simulated desktop with an anchor that presents a popover while `shown` is true,
// and a spinner in a second window that is not on screen.
struct Scene {
    Observable<bool> shown{false};
    Observable<bool> spinnerShown{true};
    std::shared_ptr<sim::SimDesktop> desktop;
    std::shared_ptr<PanelHost> content;
    std::shared_ptr<Panel> window;
    std::shared_ptr<PanelHost> hiddenContent;
    std::shared_ptr<Panel> hiddenWindow;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 300);

    Scene() {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
        content = PanelHost::make(Text("Record")
                                      .frame(130, 24)
                                      .popover(shown, [] { return popoverContent(); })
                                      .help("Record a new shortcut")
                                      .frame(300, 200));
        window = show(content, {400, 400, 300, 200});
        hiddenContent = PanelHost::make(HStack({ProgressSpinner(), Text("Waiting for macOS…")}));
        hiddenWindow = show(hiddenContent, {400, 100, 240, 40});
        hiddenWindow->orderOut();
        runUntilIdle();
    }
    ~Scene() {
        cairo_surface_destroy(surface);
        window->close();
        hiddenWindow->close();
        content.reset();
        hiddenContent.reset();
        desktop.reset();
        Platform::uninstall();
    }
    static std::shared_ptr<Panel> show(const std::shared_ptr<PanelHost>& hosted,
                                       const Rect& frame) {
        auto panel = platform().application().makePanel(frame, StyleMask::nonactivatingPanel);
        panel->setHostedContent(hosted);
        panel->orderFront();
        return panel;
    }
    static void runUntilIdle() { platform().virtualClock()->runUntilIdle(); }

    void draw(const std::shared_ptr<Panel>& panel) {
        cairo_t* cr = cairo_create(surface);
        panel->hostedContent()->draw(cr, panel->frame().size);
        cairo_destroy(cr);
    }
    std::shared_ptr<Panel> popoverWindow() const {
        for (const auto& candidate : platform().application().windows()) {
            if (candidate->level() == window->level() + 1) return candidate;
        }
        return nullptr;
    }
};

// The popover opened below its anchor (window, content, placing), drawn at 1x (argument 1) or not
// (argument 0), then closed.
void BM_PopoverShownAndDrawn(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.shown.set(true);
        Scene::runUntilIdle();
        auto popover = scene.popoverWindow();
        if (!popover) state.SkipWithError("no popover window");
        if (state.range(0)) scene.draw(popover);
        scene.shown.set(false);
        Scene::runUntilIdle();
    }
    state.SetLabel(state.range(0) ? "drawn" : "not drawn");
}
BENCHMARK(BM_PopoverShownAndDrawn)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A tooltip's window made, laid out, placed and drawn at 1x, then closed.
void BM_TooltipShownAndDrawn(benchmark::State& state) {
    Scene scene;
    const auto measurer = std::make_shared<PangoTextMeasurer>();
    for (auto _ : state) {
        auto tooltip = Tooltip::show("Record a new shortcut", {500, 500}, measurer);
        scene.draw(tooltip->panel());
        tooltip->close();
    }
}
BENCHMARK(BM_TooltipShownAndDrawn)->Unit(benchmark::kMicrosecond);

// Ten idle seconds of virtual time with a spinner in a hidden window and a closed popover: the
// counter is the run loop's wake-ups in them (none expected).
void BM_IdleWindowsWakeUps(benchmark::State& state) {
    Scene scene;
    scene.shown.set(true);
    Scene::runUntilIdle();
    scene.shown.set(false);
    Scene::runUntilIdle();
    std::uint64_t wakeUps = 0;
    for (auto _ : state) {
        const auto before = platform().runLoop().wakeUpCount();
        platform().virtualClock()->advance(10);
        wakeUps += platform().runLoop().wakeUpCount() - before;
    }
    state.counters["wakeUpsPer10s"] =
        benchmark::Counter(static_cast<double>(wakeUps), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_IdleWindowsWakeUps)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori::ui

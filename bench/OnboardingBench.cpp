#include <benchmark/benchmark.h>
#include <cairo.h>
#include <time.h>

#include "covers/Palette.hpp"
#include "onboarding/FinishStep.hpp"
#include "onboarding/FirstRunDemoVisual.hpp"
#include "onboarding/PermissionStep.hpp"
#include "onboarding/StepDots.hpp"
#include "onboarding/WelcomeStep.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimWorld.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {
namespace {

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A fresh simulated desktop (the welcome page listens to its keyboard) and a surface the size of
// the first-run window at scale 1.
struct FirstRunDesktop {
    std::shared_ptr<sim::SimDesktop> desktop;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 560, 500);

    FirstRunDesktop() {
        Platform::install(Platform::makeVirtual());
        desktop = sim::SimDesktop::install(platform());
        desktop->world().setEventLogEnabled(false);
    }
    ~FirstRunDesktop() {
        cairo_surface_destroy(surface);
        desktop.reset();
        Platform::uninstall();
    }
    void draw(Host& host) const {
        cairo_t* cr = cairo_create(surface);
        host.draw(cr);
        cairo_destroy(cr);
    }
};

// A page as the first-run window shows it: on the dark background, with the page dots.
View page(int which) {
    const View step =
        which == 0   ? View(WelcomeStep{[] {}})
        : which == 1 ? View(PermissionStep{[] {}, [] {}})
                     : View(FinishStep{which == 2 ? FinishVariant::granted : FinishVariant::skipped,
                                       [] {}, [] {}});
    return ZStack({View(Color(Palette::ink)),
                   step.frame({.maxWidth = infinity, .maxHeight = infinity}),
                   VStack({Spacer(), StepDots{which == 0 ? 0 : 1, 2}}).padding(Edges::bottom, 28)})
        .frame(560, 500);
}

// One page of the first-run window built, laid out and drawn at scale 1 in a new host: every node
// made and every text and icon drawn. First argument: welcome, permission, finish granted, finish
// skipped. Second: 0 as the window moves to that page, with the window's text measurer and icons
// (its texts measured once already); 1 as a new window opens on it, with a text measurer and icons
// of its own (the fonts the process loaded stay shared).
void BM_FirstRunPage(benchmark::State& state) {
    static const char* const names[] = {"welcome", "permission", "finish granted",
                                        "finish skipped"};
    const bool newWindow = state.range(1) != 0;
    state.SetLabel(std::string(names[state.range(0)]) + (newWindow ? ", new window" : ""));
    FirstRunDesktop desktop;
    Host::Options options;
    for (auto _ : state) {
        const double start = threadCpuSeconds();
        if (newWindow || !options.textMeasurer) {
            options.textMeasurer = std::make_shared<PangoTextMeasurer>();
            options.icons = std::make_shared<IconCatalog>();
        }
        auto host = Host::make(page(static_cast<int>(state.range(0))), options);
        desktop.draw(*host);
        state.SetIterationTime(threadCpuSeconds() - start);
        host.reset();
        platform().virtualClock()->runUntilIdle();
    }
}
BENCHMARK(BM_FirstRunPage)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// One frame of the picture of Focus while it dims: the animation stepped by a 60 Hz frame and
// the picture drawn.
void BM_FirstRunDemoFrame(benchmark::State& state) {
    constexpr double kFrame = 1.0 / 60;
    FirstRunDesktop desktop;
    std::shared_ptr<Host> host;
    double left = 0;
    for (auto _ : state) {
        if (left <= 0) {
            host = Host::make(FirstRunDemoVisual{FirstRunDemoPhase::dimmed});
            platform().virtualClock()->advance(FirstRunDemoVisual::kDelay);
            left = FirstRunDemoVisual::kDuration;
        }
        const double start = threadCpuSeconds();
        platform().virtualClock()->advance(kFrame);
        desktop.draw(*host);
        state.SetIterationTime(threadCpuSeconds() - start);
        left -= kFrame;
    }
}
BENCHMARK(BM_FirstRunDemoFrame)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori::ui

#include <benchmark/benchmark.h>

#include "../tests/ui/CoverRowFixture.hpp"
#include "platform/Platform.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {
namespace {

using namespace fixture;

constexpr int kRows = 30;

// Arguments: text measurement (0 fixed metrics, 1 Pango) and pixels per point.
std::shared_ptr<TextMeasurer> measurer(const benchmark::State& state) {
    if (state.range(0) != 0) return std::make_shared<PangoTextMeasurer>();
    return std::make_shared<FixedTextMeasurer>();
}

void label(benchmark::State& state) {
    state.SetLabel(std::string(state.range(0) ? "Pango" : "fixed metrics") + ", " +
                   std::to_string(state.range(1)) + "x");
}

View panelView(const std::shared_ptr<CoverManager>& manager) {
    return View(CoversCard{manager}).padding(12).background(Color::rgb255(21, 24, 32));
}

// A virtual platform, a panel of 30 cover rows, and a surface to draw it into.
class RowPanel {
  public:
    explicit RowPanel(const benchmark::State& state) : scale(static_cast<double>(state.range(1))) {
        Platform::install(Platform::makeVirtual());
        Host::Options options;
        options.textMeasurer = measurer(state);
        host = Host::make(panelView(manager), options);
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                             static_cast<int>(host->size().width * scale),
                                             static_cast<int>(host->size().height * scale));
    }
    ~RowPanel() {
        cairo_surface_destroy(surface);
        host.reset();
        Platform::uninstall();
    }

    // Draws as a window does: only the pixels the host reports changed reach the surface.
    void draw(Host& drawn) {
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, scale, scale);
        if (const auto damage = drawn.pendingDamage()) {
            for (const Rect& rect : *damage)
                cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
            cairo_clip(cr);
        }
        drawn.draw(cr);
        cairo_destroy(cr);
    }

    // Renames every cover, so that every row's body runs again.
    void renameAll(int round) {
        for (const auto& cover : manager->covers.peek()) {
            cover->name.set("Overlay " + std::to_string(round % 2) + " " +
                            cover->id.uuidString().substr(0, 4));
        }
    }

    double scale;
    std::shared_ptr<CoverManager> manager = managerWithCovers(kRows);
    std::shared_ptr<Host> host;
    cairo_surface_t* surface = nullptr;
};

// Every row's body runs again (all names changed); the panel is laid out and drawn.
void BM_UiRebuildAndDrawPanel(benchmark::State& state) {
    RowPanel panel(state);
    int round = 0;
    for (auto _ : state) {
        panel.renameAll(++round);
        panel.host->updateNow();
        panel.draw(*panel.host);
    }
    label(state);
}
BENCHMARK(BM_UiRebuildAndDrawPanel)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMicrosecond);

// A new host: every node made, laid out and drawn (texts already measured once).
void BM_UiBuildNewPanel(benchmark::State& state) {
    RowPanel panel(state);
    Host::Options options;
    options.textMeasurer = measurer(state);
    for (auto _ : state) {
        auto host = Host::make(panelView(panel.manager), options);
        panel.draw(*host);
    }
    label(state);
}
BENCHMARK(BM_UiBuildNewPanel)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMicrosecond);

// One frame while `rows` of the 30 rows slide and fade (all of them: a close-all): the clock moves
// a frame, the frame timer runs, and the panel is drawn.
void animationFrame(benchmark::State& state, std::size_t rows) {
    RowPanel panel(state);
    std::set<std::string> closing;
    for (const auto& cover : panel.manager->covers.peek()) {
        if (closing.size() < rows) closing.insert(cover->id.uuidString());
    }
    withAnimation(Animation::linear(1e6), [&] { panel.manager->closingIds.set(closing); });
    auto& clock = *platform().virtualClock();
    clock.runUntilIdle();
    panel.draw(*panel.host);
    for (auto _ : state) {
        clock.advance(1.0 / 60);
        panel.draw(*panel.host);
    }
    label(state);
}

void BM_UiAnimationFrame(benchmark::State& state) {
    animationFrame(state, kRows);
}
BENCHMARK(BM_UiAnimationFrame)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMicrosecond);

void BM_UiOneRowAnimationFrame(benchmark::State& state) {
    animationFrame(state, 1);
}
BENCHMARK(BM_UiOneRowAnimationFrame)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMicrosecond);

// The pointer enters and leaves one row's rename button in turn: the row shows its hover colour
// and is laid out and drawn.
void BM_UiHoverOneRow(benchmark::State& state) {
    RowPanel panel(state);
    Host& host = *panel.host;
    const Rect button = host.findAll(Query::byLabel("Rename cover")).at(kRows / 2).frame();
    const Point inside{button.midX(), button.midY()};
    const Point beside{button.minX() - 40, button.midY()};
    panel.draw(host);
    bool entering = true;
    for (auto _ : state) {
        host.mouseMoved(entering ? inside : beside);
        entering = !entering;
        host.updateNow();
        panel.draw(host);
    }
    label(state);
}
BENCHMARK(BM_UiHoverOneRow)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori::ui

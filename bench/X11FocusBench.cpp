// Focus following a switch of the active window on a real X server, beside the same run's
// references: the compositor's own dimming of inactive windows (picom's --inactive-dim 0.5, what a
// Linux user would otherwise pick; KWin's Dim Inactive) and stand-in panels that follow the focus
// with no round trip and nothing else: one restacked below the window that got the focus, one kept
// above every window with that window's frame cut out of its shape. Run them together, in this
// order: the later ones give their ratios to the own dimming's figures of the same run, at the
// same number of windows.
//
// The switches are 50 (TALVORI_X11_SWITCHES says otherwise). Each is a pager's activation request
// (_NET_ACTIVE_WINDOW, as xdotool windowactivate sends it); the times run from the request to
//   placed_*:    the dimming panel directly below the new window's frame (the server's order);
//   undimmed_*:  the new window shown at its own brightness on the composited screen;
//   fade_start_*: the old window's first darker frame;
//   darker_*:    the old window clearly darker (at most 0.8 of its own brightness).
// Then the program settles (its second looks, the cross-fade) before the next switch.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <xcb/shape.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "X11BenchDesktop.hpp"
#include "X11ProgramProcess.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/x11/harness/X11RoundTrips.hpp"

namespace talvori::bench {
namespace {

// Switches per benchmark: TALVORI_X11_SWITCHES, else 50. TALVORI_X11_DESKTOP names the desktop
// (openbox, the default, with picom; xfwm4; icewm; kwin; mutter); the compositor's own dimming
// is picom's on openbox and icewm, KWin's Dim Inactive effect on KWin, and the window manager's
// own raise is the reference everywhere.
int switchesAsked() {
    const char* asked = std::getenv("TALVORI_X11_SWITCHES");
    return asked ? std::max(1, std::atoi(asked)) : 50;
}

struct Reference {
    double undimmedP50 = 0;
    double darkerP50 = 0;
    double compositorCpuMs = 0;
};

// The compositor's own dimming in this run, by the number of windows on the screen.
Reference& dimmingReference(int windows) {
    static std::map<int, Reference> references;
    return references[windows];
}

// What one switch showed, in milliseconds from its request.
struct SwitchTimes {
    std::optional<double> placed;
    std::optional<double> undimmed;
    std::optional<double> fadeStart;
    std::optional<double> darker;
};

class SwitchFigures {
  public:
    void add(const SwitchTimes& times) {
        for (const auto& [name, value] :
             {std::pair{"placed", times.placed}, std::pair{"undimmed", times.undimmed},
              std::pair{"fade_start", times.fadeStart}, std::pair{"darker", times.darker}}) {
            if (value) values_[name].push_back(*value);
        }
        ++switches_;
    }
    int switches() const { return std::max(switches_, 1); }
    double p50(const std::string& name) const { return at(name, 0.5); }
    void report(benchmark::State& state, int windows) const {
        for (const auto& [name, values] : values_) {
            state.counters[name + "_p50_ms"] = percentile(values, 0.5);
            state.counters[name + "_p99_ms"] = percentile(values, 0.99);
        }
        const Reference& picom = dimmingReference(windows);
        if (picom.undimmedP50 > 0 && values_.contains("undimmed")) {
            state.counters["undimmed_to_picom"] = p50("undimmed") / picom.undimmedP50;
        }
        if (picom.darkerP50 > 0 && values_.contains("darker")) {
            state.counters["darker_to_picom"] = p50("darker") / picom.darkerP50;
        }
    }

  private:
    double at(const std::string& name, double fraction) const {
        const auto found = values_.find(name);
        return found == values_.end() ? 0 : percentile(found->second, fraction);
    }
    std::map<std::string, std::vector<double>> values_;
    int switches_ = 0;
};

// The middle of each window's content, clear of the other and of the frames around both.
std::array<PixelWatch::Point, 2> middlesOf(const X11TestDriver& driver,
                                           const xcb_window_t (&clients)[2]) {
    return {driver.middleOf(clients[0]), driver.middleOf(clients[1])};
}

// Follows one switch on the screen: done once the new window is undimmed and the old one
// clearly darker.
PixelWatch::Step watchScreen(Clock::time_point start, SwitchTimes& times) {
    return [start, &times](const std::vector<int>& brightness, Clock::time_point at) {
        const int bright = X11BenchDesktop::kUndimmedBrightness;
        const double elapsed = milliseconds(at - start);
        if (!times.undimmed && brightness[0] >= bright * 97 / 100) times.undimmed = elapsed;
        if (!times.fadeStart && brightness[1] < bright * 99 / 100) times.fadeStart = elapsed;
        if (!times.darker && brightness[1] <= bright * 8 / 10) times.darker = elapsed;
        return times.undimmed && times.darker;
    };
}

// Runs switches between the two windows as long as the benchmark asks. `panel` (0: none) is the
// dimming panel whose place is watched; `settle` is run after each switch.
void runSwitches(benchmark::State& state, X11BenchDesktop& desktop, xcb_window_t panel,
                 double settle, SwitchFigures& figures) {
    auto& driver = desktop.driver();
    const xcb_window_t clients[] = {desktop.alpha.window, desktop.beta.window};
    const xcb_window_t frames[] = {driver.frameOf(clients[0]), driver.frameOf(clients[1])};
    const auto points = middlesOf(driver, clients);
    PixelWatch screen(desktop.display());
    ServerWatch server(desktop.display());
    int next = driver.activeWindow() == clients[0] ? 1 : 0;
    // A panel the window manager stacks stands among the root's children by its frame.
    const xcb_window_t stacked = panel ? driver.frameOf(panel) : 0;
    for (auto _ : state) {
        SwitchTimes times;
        const auto start = Clock::now();
        screen.start({points[next], points[1 - next]}, watchScreen(start, times));
        if (panel) {
            server.start([stacked, frame = frames[next]](X11TestDriver& watched) {
                return watched.windowAbove(stacked) == frame;
            });
        }
        driver.activate(clients[next]);
        const bool shown = desktop.runUntilSeen(screen);
        const bool placed = !panel || desktop.runUntilSeen(server);
        if (panel && placed) times.placed = milliseconds(server.seenAt() - start);
        if (!shown || !placed) {
            state.SkipWithError("the switch did not show on the screen");
            break;
        }
        state.SetIterationTime(std::max(*times.undimmed, *times.darker) / 1000);
        figures.add(times);
        desktop.runFor(settle);
        next = 1 - next;
    }
}

// Runs pairs of switches between the two windows: the second of each is asked, by a pager of its
// own, the moment the first shows on the screen, and is the one measured. `settle` is run after
// each pair.
void runBackToBackSwitches(benchmark::State& state, X11BenchDesktop& desktop, double settle,
                           SwitchFigures& figures) {
    auto& driver = desktop.driver();
    X11TestDriver pager(desktop.display());
    const xcb_window_t clients[] = {desktop.alpha.window, desktop.beta.window};
    const auto points = middlesOf(driver, clients);
    PixelWatch screen(desktop.display());
    const int first = driver.activeWindow() == clients[0] ? 1 : 0;
    const int bright = X11BenchDesktop::kUndimmedBrightness;
    for (auto _ : state) {
        SwitchTimes times;
        std::optional<Clock::time_point> second;
        // brightness[0]: the window the first switch goes to, [1]: the one the second goes to.
        screen.start({points[first], points[1 - first]}, [&](const std::vector<int>& brightness,
                                                             Clock::time_point at) {
            if (!second) {
                if (brightness[0] < bright * 97 / 100 || brightness[1] > bright * 8 / 10) {
                    return false;
                }
                pager.activate(clients[1 - first]);
                second = Clock::now();
                return false;
            }
            return watchScreen(*second, times)({brightness[1], brightness[0]}, at);
        });
        driver.activate(clients[first]);
        if (!desktop.runUntilSeen(screen) || !times.undimmed || !times.darker) {
            state.SkipWithError("the switches did not show on the screen");
            break;
        }
        state.SetIterationTime(std::max(*times.undimmed, *times.darker) / 1000);
        figures.add(times);
        desktop.runFor(settle);
    }
}

// The compositor's CPU per switch, beside its own dimming's at the same number of windows.
void reportCompositorCpu(benchmark::State& state, int windows, double compositorCpuMs) {
    state.counters["compositor_cpu_ms"] = compositorCpuMs;
    if (const double own = dimmingReference(windows).compositorCpuMs; own > 0) {
        state.counters["compositor_cpu_to_own_dimming"] = compositorCpuMs / own;
    }
}

// What a loop following the focus (the program's, or a stand-in's) cost per switch: its thread's
// CPU, the times it woke for its own work, and its passes with the bench's own wake-ups.
class LoopCost {
  public:
    explicit LoopCost(const X11BenchDesktop& desktop)
        : desktop_(desktop),
          cpuSeconds_(desktop.cpuSeconds),
          passes_(desktop.passes),
          benchWakeups_(desktop.benchWakeups) {}
    void report(benchmark::State& state, const std::string& whose, double switches) const {
        const long passes = desktop_.passes - passes_;
        state.counters[whose + "_cpu_ms"] = (desktop_.cpuSeconds - cpuSeconds_) * 1000 / switches;
        state.counters[whose + "_wakeups_per_switch"] =
            static_cast<double>(passes - (desktop_.benchWakeups - benchWakeups_)) / switches;
        state.counters[whose + "_passes_per_switch"] = static_cast<double>(passes) / switches;
    }

  private:
    const X11BenchDesktop& desktop_;
    double cpuSeconds_;
    long passes_;
    long benchWakeups_;
};

// ---- The compositor's own dimming

// The picom backend: TALVORI_PICOM_BACKEND (xrender, the default; glx).
std::vector<std::string> picomOptions(std::vector<std::string> options) {
    if (const char* backend = std::getenv("TALVORI_PICOM_BACKEND")) {
        options.insert(options.end(), {"--backend", backend});
    }
    return options;
}

// The number of windows on the screen, as benchmarks with an argument for it ask.
constexpr int kWindowCounts[] = {5, 20, 60};

// The switches asked at each number of windows, timed by what they showed.
void atEachWindowCount(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("windows")
        ->Arg(kWindowCounts[0])
        ->Arg(kWindowCounts[1])
        ->Arg(kWindowCounts[2])
        ->Iterations(switchesAsked())
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

void BM_X11SwitchReferenceCompositorDimming(benchmark::State& state) {
    const int windows = static_cast<int>(state.range(0));
    const bool kwin = benchedDesktop() == X11TestDesktop::kwin;
    X11BenchDesktop desktop(
        {.program = false,
         .compositorOptions = kwin
                                  ? std::vector<std::string>{"[Plugins]", "diminactiveEnabled=true"}
                                  : picomOptions({"--inactive-dim", "0.5"}),
         .windows = windows});
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    desktop.runFor(0.3);
    SwitchFigures figures;
    const double compositorBefore = processCpuSeconds(desktop.session().compositorPid());
    runSwitches(state, desktop, 0, 0.05, figures);
    const double compositorCpuMs =
        (processCpuSeconds(desktop.session().compositorPid()) - compositorBefore) * 1000 /
        figures.switches();
    dimmingReference(windows) = {figures.p50("undimmed"), figures.p50("darker"), compositorCpuMs};
    figures.report(state, windows);
    state.counters["compositor_cpu_ms"] = compositorCpuMs;
}
BENCHMARK(BM_X11SwitchReferenceCompositorDimming)->Apply(atEachWindowCount);

// ---- Stand-ins: a full-screen translucent panel on a connection of its own that follows the
// focus of the two windows with no round trip and nothing else, in two designs. Each gives the
// compositor's CPU per switch beside its own dimming's at the same number of windows.

// The design the program uses: the panel restacked directly below the window that got the focus.
class StandInPanel {
  public:
    StandInPanel(const std::string& display, X11BenchDesktop& desktop)
        : driver_(display), connection_(driver_.connection()) {
        for (const xcb_window_t client : {desktop.alpha.window, desktop.beta.window}) {
            frames_[client] = desktop.driver().frameOf(client);
            const std::uint32_t events[] = {XCB_EVENT_MASK_FOCUS_CHANGE};
            xcb_change_window_attributes(connection_, client, XCB_CW_EVENT_MASK, events);
        }
        create();
    }
    virtual ~StandInPanel() = default;
    xcb_window_t window() const { return window_; }
    // Dims all but the active window's frame and maps the panel.
    void show(xcb_window_t active) {
        followFocusTo(active);
        xcb_map_window(connection_, window_);
        driver_.sync();
    }
    void pump(double seconds) {
        pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
        // Rounded up: a wait rounded down to nothing would spin through the last millisecond.
        ::poll(&readable, 1, static_cast<int>(std::ceil(seconds * 1000)));
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const auto& focus = reinterpret_cast<const xcb_focus_in_event_t&>(*event);
            if ((event->response_type & 0x7F) == XCB_FOCUS_IN &&
                focus.mode == XCB_NOTIFY_MODE_NORMAL && focus.detail < XCB_NOTIFY_DETAIL_POINTER) {
                followFocusTo(focus.event);
            }
            std::free(event);
        }
    }

  protected:
    virtual void follow(xcb_window_t frame) { restackBelow(frame); }
    void restackBelow(xcb_window_t frame) {
        const std::uint32_t values[] = {frame, XCB_STACK_MODE_BELOW};
        xcb_configure_window(connection_, window_,
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    }
    xcb_connection_t* connection() const { return connection_; }
    const std::map<xcb_window_t, xcb_window_t>& frames() const { return frames_; }

  private:
    void followFocusTo(xcb_window_t client) {
        const auto frame = frames_.find(client);
        if (frame == frames_.end()) return;
        follow(frame->second);
        xcb_flush(connection_);
    }
    // A full-screen translucent window in the dimming colour at half opacity.
    void create() {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        xcb_visualid_t visual = 0;
        for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem && !visual;
             xcb_depth_next(&depths)) {
            if (depths.data->depth != 32) continue;
            auto visuals = xcb_depth_visuals_iterator(depths.data);
            if (visuals.rem) visual = visuals.data->visual_id;
        }
        const xcb_colormap_t colormap = xcb_generate_id(connection_);
        xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
        window_ = xcb_generate_id(connection_);
        // Premultiplied: 21, 24, 32 at alpha one half.
        const std::uint32_t values[] = {0x800a0c10, 0, 1, colormap};
        xcb_create_window(
            connection_, 32, window_, screen->root, 0, 0, screen->width_in_pixels,
            screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
            XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_COLORMAP,
            values);
    }

    X11TestDriver driver_;
    xcb_connection_t* connection_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    std::map<xcb_window_t, xcb_window_t> frames_;
};

// A design that needs no restacking: the panel kept above every window (where a window maps above
// it, it would need raising), clicks passing through, its shape leaving out the active window's
// frame; a switch only changes the shape. The frames stay where they are here: a moving window
// would need the cut-out to follow it.
class ShapedPanelAbove : public StandInPanel {
  public:
    ShapedPanelAbove(const std::string& display, X11BenchDesktop& desktop)
        : StandInPanel(display, desktop) {
        xcb_shape_rectangles(connection(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, window(), 0, 0, 0, nullptr);
        for (const auto& [client, frame] : frames()) shapes_[frame] = screenLessFrame(frame);
    }

  private:
    using Shape = std::array<xcb_rectangle_t, 4>;

    void follow(xcb_window_t frame) override {
        const Shape& shape = shapes_.at(frame);
        xcb_shape_rectangles(connection(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                             XCB_CLIP_ORDERING_UNSORTED, window(), 0, 0, shape.size(),
                             shape.data());
    }
    // The screen less the frame's outer rectangle, in bands from the top.
    Shape screenLessFrame(xcb_window_t frame) const {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection())).data;
        const int width = screen->width_in_pixels, height = screen->height_in_pixels;
        auto* geometry =
            xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), frame), nullptr);
        if (!geometry) return {band(0, 0, width, height)};
        const int left = geometry->x, top = geometry->y;
        const int right = left + geometry->width + 2 * geometry->border_width;
        const int bottom = top + geometry->height + 2 * geometry->border_width;
        std::free(geometry);
        return {band(0, 0, width, top), band(0, top, left, bottom - top),
                band(right, top, width - right, bottom - top),
                band(0, bottom, width, height - bottom)};
    }
    static xcb_rectangle_t band(int x, int y, int width, int height) {
        return {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                static_cast<std::uint16_t>(std::max(width, 0)),
                static_cast<std::uint16_t>(std::max(height, 0))};
    }

    std::map<xcb_window_t, Shape> shapes_;
};

// shaped 0: the panel restacked below the active window; 1: kept above, shaped around it. The
// stand-in's own CPU and wake-ups per switch are the floor of a program that follows the focus.
void BM_X11SwitchReferenceStandIn(benchmark::State& state) {
    const bool shaped = state.range(0) != 0;
    const int windows = static_cast<int>(state.range(1));
    X11BenchDesktop desktop(
        {.program = false, .compositorOptions = picomOptions({}), .windows = windows});
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::unique_ptr<StandInPanel> standIn =
        shaped ? std::make_unique<ShapedPanelAbove>(desktop.display(), desktop)
               : std::make_unique<StandInPanel>(desktop.display(), desktop);
    standIn->show(desktop.driver().activeWindow());
    desktop.pump = [&standIn](double seconds) { standIn->pump(seconds); };
    desktop.runFor(0.3);
    SwitchFigures figures;
    const LoopCost loopCost(desktop);
    const double compositorBefore = processCpuSeconds(desktop.session().compositorPid());
    // Above every window, the shaped panel's place never changes: the screen alone shows the
    // switch.
    runSwitches(state, desktop, shaped ? 0 : standIn->window(), 0.05, figures);
    const double compositorCpuMs =
        (processCpuSeconds(desktop.session().compositorPid()) - compositorBefore) * 1000 /
        figures.switches();
    reportCompositorCpu(state, windows, compositorCpuMs);
    loopCost.report(state, "stand_in", figures.switches());
    figures.report(state, windows);
}
BENCHMARK(BM_X11SwitchReferenceStandIn)
    ->ArgNames({"shaped", "windows"})
    ->ArgsProduct({{0, 1}, {kWindowCounts[0], kWindowCounts[1], kWindowCounts[2]}})
    ->Iterations(switchesAsked())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- The window manager's own raise of the window activated, with nothing else running

void BM_X11SwitchReferenceRaise(benchmark::State& state) {
    X11BenchDesktop desktop({.program = false});
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto& driver = desktop.driver();
    const xcb_window_t clients[] = {desktop.alpha.window, desktop.beta.window};
    const xcb_window_t frames[] = {driver.frameOf(clients[0]), driver.frameOf(clients[1])};
    desktop.runFor(0.3);
    ServerWatch server(desktop.display());
    std::vector<double> raised;
    int next = driver.activeWindow() == clients[0] ? 1 : 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        server.start([above = frames[next], below = frames[1 - next]](X11TestDriver& watched) {
            const auto order = watched.stacking();
            return std::find(order.begin(), order.end(), above) >
                   std::find(order.begin(), order.end(), below);
        });
        driver.activate(clients[next]);
        if (!desktop.runUntilSeen(server)) {
            state.SkipWithError("the window manager did not raise the window");
            break;
        }
        raised.push_back(milliseconds(server.seenAt() - start));
        state.SetIterationTime(raised.back() / 1000);
        desktop.runFor(0.05);
        next = 1 - next;
    }
    state.counters["raised_p50_ms"] = percentile(raised, 0.5);
    state.counters["raised_p99_ms"] = percentile(raised, 0.99);
}
BENCHMARK(BM_X11SwitchReferenceRaise)
    ->Iterations(switchesAsked())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- The program

// cross_fade 0: Reduce Motion (the panel moves at once); 1: Dim's default cross-fade. Besides
// the times: the program's CPU per switch (settling included), the compositor's, and the
// requests the program sent, the answers it waited for and the times its loop woke per switch
// (besides the bench's own wake-ups, which its passes count too).
// back_to_back 1: switches in pairs, the second asked the moment the first shows (the program is
// still busy with the window manager's answer to the first); the second is measured, and the
// program's costs are per pair.
void BM_X11RestackAfterActivation(benchmark::State& state) {
    const bool crossFade = state.range(0) != 0;
    const int windows = static_cast<int>(state.range(1));
    const bool backToBack = state.range(2) != 0;
    X11BenchDesktop desktop({.compositorOptions = picomOptions({}), .windows = windows});
    if (const auto error = desktop.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    desktop.activate(desktop.alpha.window);
    auto controller = SpotlightController::create(
        SpotlightPanelManager::create(), PermissionManager::shared(), UserDefaults::inMemory());
    if (!crossFade) controller->panelManager().isReducedMotion = [] { return true; };
    controller->activate();
    // The fade-in, and the look at how the compositor fades windows.
    desktop.runFor(1.0);
    const auto& overlay = controller->panelManager().overlayPanel();
    const xcb_window_t panel = overlay ? overlay->windowNumber() : 0;
    xcb_connection_t* ours = desktop.programConnection();
    const double settle = controller->fadeDuration() + SpotlightController::kSlowReconcileDelay;

    SwitchFigures figures;
    const LoopCost loopCost(desktop);
    const double compositorBefore = processCpuSeconds(desktop.session().compositorPid());
    const unsigned requestsBefore = xcb_no_operation(ours).sequence;
    const testing::X11RoundTrips waits(ours);
    if (backToBack) {
        runBackToBackSwitches(state, desktop, settle, figures);
    } else {
        runSwitches(state, desktop, panel, settle, figures);
    }
    const double switches = figures.switches();
    state.counters["requests_per_switch"] =
        (xcb_no_operation(ours).sequence - requestsBefore - 1) / switches;
    state.counters["round_trips_per_switch"] = static_cast<double>(waits.count()) / switches;
    loopCost.report(state, "our", switches);
    const double compositorCpuMs =
        (processCpuSeconds(desktop.session().compositorPid()) - compositorBefore) * 1000 / switches;
    reportCompositorCpu(state, windows, compositorCpuMs);
    figures.report(state, windows);
    controller->deactivate();
    desktop.runFor(0.3);
}
BENCHMARK(BM_X11RestackAfterActivation)
    ->ArgNames({"cross_fade", "windows", "back_to_back"})
    ->Args({0, kWindowCounts[0], 0})
    ->Args({0, kWindowCounts[1], 0})
    ->Args({0, kWindowCounts[2], 0})
    ->Args({1, kWindowCounts[0], 0})
    ->Args({1, kWindowCounts[2], 0})
    ->Args({0, kWindowCounts[0], 1})
    ->Args({1, kWindowCounts[0], 1})
    ->Iterations(switchesAsked())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- The program itself, started as users start it (TALVORI_BENCH_PROGRAM: another build's, so
// that one bench measures both side by side), Focus turned on with its shortcut: its costs per
// switch, all its threads together, the settling after each switch included. Beside CPU time and
// wake-ups, its read and write calls, which unlike time do not grow with the machine's load.

// Longer than the cross-fade and the slow second look after it.
constexpr double kProgramSettle = 0.5;

void BM_X11ProgramSwitch(benchmark::State& state) {
    const int windows = static_cast<int>(state.range(0));
    X11BenchDesktop desktop(
        {.program = false, .compositorOptions = picomOptions({}), .windows = windows});
    X11ProgramProcess program(desktop.session());
    const auto error = desktop.error().empty() ? program.error() : desktop.error();
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const xcb_window_t panel = X11ProgramProcess::turnFocusOn(
        desktop.driver(), [&](const std::function<bool()>& condition, double seconds) {
            return desktop.runUntil(condition, seconds);
        });
    if (!panel) {
        state.SkipWithError("Focus did not come on");
        return;
    }
    desktop.runFor(1.0);
    SwitchFigures figures;
    const auto before = program.cost();
    runSwitches(state, desktop, panel, kProgramSettle, figures);
    const auto cost = program.cost() - before;
    const double switches = figures.switches();
    state.counters["our_cpu_ms"] = cost.cpuSeconds * 1000 / switches;
    state.counters["our_ticked_cpu_ms"] = cost.tickedSeconds * 1000 / switches;
    state.counters["our_wakeups_per_switch"] =
        static_cast<double>(cost.wakeups + cost.preemptions) / switches;
    state.counters["our_voluntary_wakeups_per_switch"] =
        static_cast<double>(cost.wakeups) / switches;
    state.counters["our_syscalls_per_switch"] = static_cast<double>(cost.syscalls) / switches;
    if (X11ProgramProcess::countsInstructions()) {
        state.counters["our_instructions_per_switch"] = cost.instructions / switches;
    }
    figures.report(state, windows);
}
BENCHMARK(BM_X11ProgramSwitch)->Apply(atEachWindowCount);

}  // namespace
}  // namespace talvori::bench

// The real program with Focus on, against a window manager that puts a window back above the
// Focus panel each time the panel moves (as some docks and window managers that keep windows on
// top do), for ten seconds: the program's share of a core while the fight lasts, beside its share
// with Focus on and the same window manager calm; the panel's restacks in the first second and a
// second after it; and how long after the fight the panel stands directly below the active window
// again. A compositor runs: without one, Focus's translucent panel is not shown.

#include <benchmark/benchmark.h>
#include <poll.h>

#include <chrono>
#include <functional>

#include "X11BenchDesktop.hpp"
#include "X11ProgramProcess.hpp"
#include "platform/x11/harness/X11WindowManagerStandIn.hpp"

namespace talvori::bench {
namespace {

using testing::X11WindowManagerStandIn;

constexpr double kCalmSeconds = 5;
constexpr double kFightSeconds = 10;

// The stand-in window manager over two other programs' windows, and the program: the window
// manager answers as it goes, and fights for `other` while asked to.
class Fight {
  public:
    Fight()
        : session_({.windowManager = false}),
          driver_(session_.display()),
          target_(session_.openClient("Target", 100, 100, 400, 300, 0x3366cc)),
          other_(session_.openClient("Other", 300, 200, 400, 300, 0xcc6633)),
          manager_(session_.display(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY),
          program_(session_) {
        driver_.setWindows(driver_.root(), "_NET_CLIENT_LIST", {target_.window, other_.window});
        driver_.setWindows(driver_.root(), "_NET_ACTIVE_WINDOW", {target_.window});
        driver_.focus(target_.window);
    }
    std::string error() const {
        if (!target_.window || !other_.window) return "the test clients did not start";
        return program_.error();
    }
    X11ProgramProcess& program() { return program_; }
    xcb_window_t panel() const { return panel_; }
    int restacks = 0;

    // Focus turned on with its shortcut once the program has started; false when no panel
    // came below the active window.
    bool turnFocusOn() {
        panel_ = X11ProgramProcess::turnFocusOn(
            driver_, [&](const std::function<bool()>& condition, double seconds) {
                return runUntil(condition, seconds);
            });
        return panel_ != XCB_WINDOW_NONE && runUntil([&] { return isInPlace(); }, 3);
    }
    bool isInPlace() { return driver_.windowAbove(panel_) == target_.window; }
    void startFighting() {
        fighting_ = true;
        fightBack();
    }
    void stopFighting() { fighting_ = false; }
    void runFor(double seconds) {
        runUntil([] { return false; }, seconds);
    }
    bool runUntil(const std::function<bool()>& condition, double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (!condition()) {
            if (Clock::now() >= deadline) return false;
            pollfd readable{xcb_get_file_descriptor(manager_.raw()), POLLIN, 0};
            ::poll(&readable, 1, 5);
            manager_.answer([&](const xcb_generic_event_t& event) { answer(event); });
        }
        return true;
    }

  private:
    void answer(const xcb_generic_event_t& event) {
        manager_.manage(event, [] { return true; });
        if ((event.response_type & 0x7F) != XCB_CONFIGURE_NOTIFY) return;
        if (reinterpret_cast<const xcb_configure_notify_event_t&>(event).window != panel_) return;
        ++restacks;
        if (fighting_) fightBack();
    }
    void fightBack() {
        manager_.restack(other_.window, panel_, XCB_STACK_MODE_ABOVE);
        xcb_flush(manager_.raw());
    }

    X11TestSession session_;
    X11TestDriver driver_;
    X11TestSession::Client target_;
    X11TestSession::Client other_;
    X11WindowManagerStandIn manager_;
    X11ProgramProcess program_;
    xcb_window_t panel_ = XCB_WINDOW_NONE;
    bool fighting_ = false;
};

void BM_X11ProgramAgainstRestackingWindowManager(benchmark::State& state) {
    Fight fight;
    if (const auto error = fight.error(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (!fight.turnFocusOn()) {
        state.SkipWithError("Focus did not come on below the active window");
        return;
    }
    fight.runFor(1);
    for (auto _ : state) {
        const auto calmBefore = fight.program().cost();
        fight.runFor(kCalmSeconds);
        const auto calm = fight.program().cost() - calmBefore;
        const auto fightBefore = fight.program().cost();
        fight.restacks = 0;
        fight.startFighting();
        fight.runFor(1);
        const int burst = fight.restacks;
        fight.runFor(kFightSeconds - 1);
        const auto fought = fight.program().cost() - fightBefore;
        fight.stopFighting();
        const auto ended = Clock::now();
        const bool back = fight.runUntil([&] { return fight.isInPlace(); }, 5);
        state.counters["calm_cpu_percent"] = 100 * calm.tickedSeconds / kCalmSeconds;
        state.counters["fight_cpu_percent"] = 100 * fought.tickedSeconds / kFightSeconds;
        state.counters["fight_cpu_percent_scheduler"] = 100 * fought.cpuSeconds / kFightSeconds;
        state.counters["fight_to_calm_cpu"] =
            calm.cpuSeconds > 0
                ? fought.cpuSeconds / kFightSeconds / (calm.cpuSeconds / kCalmSeconds)
                : 0;
        state.counters["fight_wakeups_per_s"] =
            static_cast<double>(fought.wakeups + fought.preemptions) / kFightSeconds;
        state.counters["fight_syscalls_per_s"] =
            static_cast<double>(fought.syscalls) / kFightSeconds;
        state.counters["restacks_first_s"] = burst;
        state.counters["restacks_per_s_after"] = (fight.restacks - burst) / (kFightSeconds - 1);
        state.counters["back_in_place_s"] =
            back ? std::chrono::duration<double>(Clock::now() - ended).count() : -1;
    }
}
BENCHMARK(BM_X11ProgramAgainstRestackingWindowManager)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace talvori::bench

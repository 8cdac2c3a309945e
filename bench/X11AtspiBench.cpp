// The program as screen readers read it: a private X server with openbox and picom, a private
// session bus with the desktop's accessibility bus and registry, the program's runtime, and a
// reader on the accessibility library in a process of its own.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "X11ReaderDesktop.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/atspi/harness/AtspiTestBus.hpp"
#include "platform/atspi/harness/AtspiTestReader.hpp"
#include "platform/atspi/harness/AtspiTestSettings.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/harness/X11ClipboardPeer.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori {
namespace {

using testing::AtspiTestBus;
using testing::AtspiTestReader;
using testing::X11TestBus;
using testing::X11TestDriver;
using testing::X11TestSession;
using Clock = std::chrono::steady_clock;

template <class Condition>
bool runUntil(Condition condition) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        platform().runLoop().runOnce(0.0002);
    }
    return true;
}

using ReaderDesktop = bench::X11ReaderDesktop;

// A reader walking the whole menu-bar panel with 20 covers and 20 layouts: every object's name,
// role, states and children. With 0, nothing cached: each of them asked of the program. With 1,
// a new reader each time, which has just met the program and cached what it offered; "meeting"
// is how long that took (milliseconds, from its first question until it had the panel).
// "objects" counts them.
void BM_X11AtspiWalkMenuBarPanel(benchmark::State& state) {
    const bool asMet = state.range(0) == 1;
    ReaderDesktop setup;
    if (!setup.error().empty()) {
        state.SkipWithError(setup.error().c_str());
        return;
    }
    for (int index = 0; index < 20; ++index) setup.manager->createCover();
    for (int index = 0; index < 20; ++index)
        setup.manager->saveCurrentAsPreset("Layout " + std::to_string(index + 1));
    auto& menuBar = setup.manager->menuBarPanelController();
    menuBar.showPanel();
    if (!runUntil([&] { return menuBar.isPanelVisible(); }) || !setup.startReader()) {
        state.SkipWithError("the reader did not find the program");
        return;
    }
    int objects = 0;
    double meeting = 0;
    for (auto _ : state) {
        if (asMet) {
            const std::string met =
                setup.newReader() ? setup.reader->line("meet 0") : std::string("none");
            if (met == "timeout" || met == "none" || met.empty()) {
                state.SkipWithError(("the reader met no panel: " + met).c_str());
                return;
            }
            meeting += std::atof(met.c_str());
        }
        std::istringstream answer(setup.reader->line(asMet ? "walk 0 kept" : "walk 0"));
        double milliseconds = 0;
        answer >> objects >> milliseconds;
        if (objects == 0) {
            state.SkipWithError("the reader found no panel");
            return;
        }
        state.SetIterationTime(milliseconds / 1000);
    }
    state.counters["objects"] = objects;
    if (asMet)
        state.counters["meeting"] = benchmark::Counter(meeting, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_X11AtspiWalkMenuBarPanel)
    ->ArgName("met")
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Each walk from the cache takes little time but a new reader: a set number of them.
BENCHMARK(BM_X11AtspiWalkMenuBarPanel)
    ->ArgName("met")
    ->Arg(1)
    ->Iterations(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// From a Tab key press (through the server, as the user's) to the reader's focus event, in the
// settings window's shortcut fields.
void BM_X11AtspiFocusEvent(benchmark::State& state) {
    ReaderDesktop setup;
    if (!setup.error().empty()) {
        state.SkipWithError(setup.error().c_str());
        return;
    }
    testing::openSettingsWindow();
    const bool shown = runUntil([] {
        const auto window = platform().application().sceneWindow("settings");
        return window && window->isKeyWindow();
    });
    if (!shown || !setup.startReader() || setup.reader->line("find Shortcuts") != "page tab" ||
        setup.reader->line("do click") != "ok") {
        state.SkipWithError("the reader could not open the shortcuts");
        return;
    }
    setup.reader->ask("wait object:children-changed:add Settings");
    for (auto _ : state) {
        setup.reader->ask("events");
        const auto pressed =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
                .count();
        setup.driver->tap(X11TestDriver::kTab);
        if (setup.reader->line("wait object:state-changed:focused") != "ok") {
            state.SkipWithError("no focus event");
            return;
        }
        const long long heard =
            std::atoll(setup.reader->line("stamp object:state-changed:focused").c_str());
        state.SetIterationTime(static_cast<double>(heard - pressed) / 1e6);
    }
}
BENCHMARK(BM_X11AtspiFocusEvent)->UseManualTime()->Unit(benchmark::kMillisecond);

// This process's resident memory in megabytes.
double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string field;
    long kilobytes = 0;
    while (status >> field) {
        if (field == "VmRSS:" && status >> kilobytes) break;
    }
    return static_cast<double>(kilobytes) / 1024;
}

// A huge text given to a new cover's name field, focused by a reader: 15 MB pasted from another
// program (0) or 20 MB a reader sets (1). "rss_growth_mb" is the resident memory it added once the
// field shows it.
void BM_X11HugeTextInANameField(benchmark::State& state) {
    const bool byReader = state.range(0) == 1;
    ReaderDesktop setup;
    if (!setup.error().empty()) {
        state.SkipWithError(setup.error().c_str());
        return;
    }
    auto& menuBar = setup.manager->menuBarPanelController();
    menuBar.showPanel();
    auto& reader = setup.reader;
    const bool focused = runUntil([&] { return menuBar.isPanelVisible(); }) &&
                         setup.startReader() && reader->line("find New cover") == "push button" &&
                         reader->line("do click") == "ok" &&
                         reader->line("wait object:children-changed:add *") == "ok" &&
                         reader->line("find Rename cover Overlay 1") == "push button" &&
                         reader->line("do click") == "ok" &&
                         reader->line("wait object:state-changed:focused Name") == "ok" &&
                         reader->line("find Name") == "entry";
    if (!focused) {
        state.SkipWithError("the reader could not focus a name field");
        return;
    }
    testing::ClipboardPeer peer(setup.display());
    const std::string command =
        byReader ? "set-text " + std::string(std::size_t{20} << 20, 'w') : std::string();
    if (!byReader) {
        peer.copy(std::string(std::size_t{15} << 20, 'w'));
        setup.driver->tap(X11TestDriver::kA, {X11TestDriver::kLeftControl});
    }
    double growth = 0;
    for (auto _ : state) {
        const double before = residentMegabytes();
        if (byReader) {
            reader->line(command);
        } else {
            setup.driver->tap(47, {X11TestDriver::kLeftControl});
        }
        const bool shown =
            runUntil([&] { return reader->line("text").find("www") != std::string::npos; });
        growth = residentMegabytes() - before;
        if (!shown) {
            state.SkipWithError("the field did not take the text");
            return;
        }
    }
    state.counters["rss_growth_mb"] = growth;
    state.counters["rss_mb"] = residentMegabytes();
}
BENCHMARK(BM_X11HugeTextInANameField)
    ->ArgName("reader")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori

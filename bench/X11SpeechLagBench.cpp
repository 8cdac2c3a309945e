// Tab to speech: from the Tab key to the screen reader's words for the control it focused, in
// Settings and, on the same desktop with the same reader, in a GTK 3 window of three buttons, the
// yardstick readers' users know. Switch to speech: from Space on the Focus Mode switch to the
// reader's "pressed" (or "not pressed"), against a GTK 3 toggle button. Each round walks both; the
// counters give the medians, the 90th percentiles and ours over GTK's.
// TALVORI_SPEECHLAG_MONITOR=FILE also records the accessibility bus's traffic to FILE
// (dbus-monitor, with the options in TALVORI_SPEECHLAG_MONITOR_FORMAT, such as --profile) and
// prints what the reader said; calls a reader makes to a program straight, off the bus, are not in
// it.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "X11ReaderDesktop.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/atspi/harness/AtspiTestSettings.hpp"
#include "platform/atspi/harness/OrcaTestReader.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/x11/X11Desktop.hpp"

namespace talvori::bench {
namespace {

using Clock = std::chrono::steady_clock;
using testing::OrcaTestReader;
using testing::X11TestDriver;

constexpr int kTabs = 30;
// The reader has nothing more to say about a control once this long has passed in silence.
constexpr auto kQuiet = std::chrono::milliseconds(300);

constexpr const char* kGtkWindow =
    "import gi\n"
    "gi.require_version('Gtk', '3.0')\n"
    "from gi.repository import Gtk\n"
    "window = Gtk.Window(title='Reference')\n"
    "box = Gtk.Box(spacing=6)\n"
    "for index in (1, 2, 3):\n"
    "    box.add(Gtk.Button(label='Button %d' % index))\n"
    "window.add(box)\n"
    "window.connect('destroy', Gtk.main_quit)\n"
    "window.show_all()\n"
    "Gtk.main()\n";

constexpr const char* kGtkToggle =
    "import gi\n"
    "gi.require_version('Gtk', '3.0')\n"
    "from gi.repository import Gtk\n"
    "window = Gtk.Window(title='Reference')\n"
    "window.add(Gtk.ToggleButton(label='Reference switch'))\n"
    "window.connect('destroy', Gtk.main_quit)\n"
    "window.show_all()\n"
    "Gtk.main()\n";
constexpr int kRounds = 3;
constexpr int kPresses = 6;

// The reader's words as they come: the loop sleeps until the speech file changes (polling it
// would keep waking the very loop that answers the reader, and slow it).
class SpeechWatch {
  public:
    explicit SpeechWatch(const OrcaTestReader& reader) : reader_(reader) {
        if (notify_ < 0) return;
        ::inotify_add_watch(notify_, reader.speechFile().c_str(), IN_MODIFY);
        watch_ = platform().runLoop().watch(notify_, POLLIN, [this](short) { drain(); });
    }
    ~SpeechWatch() {
        watch_.reset();
        if (notify_ >= 0) ::close(notify_);
    }
    SpeechWatch(const SpeechWatch&) = delete;
    SpeechWatch& operator=(const SpeechWatch&) = delete;

    // The time of the last change.
    Clock::time_point changed() const { return changed_; }
    std::uint64_t changes() const { return changes_; }
    std::string speech() const { return reader_.speech(); }

  private:
    void drain() {
        char events[4096];
        while (::read(notify_, events, sizeof events) > 0) {
        }
        changed_ = Clock::now();
        ++changes_;
    }

    const OrcaTestReader& reader_;
    int notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::shared_ptr<FileWatch> watch_;
    Clock::time_point changed_ = Clock::now();
    std::uint64_t changes_ = 0;
};

bool runUntil(const std::function<bool()>& condition, double seconds = 10) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        platform().runLoop().runOnce(0.05);
    }
    return true;
}

// Runs the loop until the reader has said nothing for a while.
void waitForSilence(const SpeechWatch& watch) {
    runUntil([&] { return Clock::now() - watch.changed() >= kQuiet; });
}

// Whether `said` has a whole line beyond the key's own name, which the reader echoes first.
bool saysMoreThanTheKey(const std::string& said) {
    std::size_t start = 0;
    for (auto end = said.find('\n'); end != std::string::npos; end = said.find('\n', start)) {
        if (said.compare(start, end - start, "tab ") != 0 && end > start) return true;
        start = end + 1;
    }
    return false;
}

// Milliseconds from each of `presses` taps of `key` to the reader's words that `heard` finds in
// what it said since.
std::vector<double> keyToSpeech(X11TestDriver& driver, const SpeechWatch& watch, std::uint8_t key,
                                int presses, const std::function<bool(const std::string&)>& heard) {
    std::vector<double> lags;
    for (int press = 0; press < presses; ++press) {
        waitForSilence(watch);
        const auto before = watch.speech().size();
        auto seen = watch.changes();
        const auto pressed = Clock::now();
        driver.tap(key);
        const auto saidIt = [&] {
            if (watch.changes() == seen) return false;
            seen = watch.changes();
            return heard(watch.speech().substr(before));
        };
        if (!runUntil(saidIt, 5)) continue;
        lags.push_back(
            std::chrono::duration<double, std::milli>(watch.changed() - pressed).count());
    }
    return lags;
}

// Milliseconds from each Tab to the reader's first line about the control it focused.
std::vector<double> tabToSpeech(X11TestDriver& driver, const SpeechWatch& watch) {
    return keyToSpeech(driver, watch, X11TestDriver::kTab, kTabs, saysMoreThanTheKey);
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

// The desktop with Orca reading and a GTK window saying `gtkWords`, or an error.
std::string startReading(X11ReaderDesktop& desk, std::unique_ptr<OrcaTestReader>& reader,
                         const char* gtkWindow, const std::string& gtkWords) {
    if (!desk.error().empty()) return desk.error();
    if (!desk.accessibilityBus().setEnabled(true)) return "no a11y bus";
    if (const char* file = std::getenv("TALVORI_SPEECHLAG_MONITOR")) {
        desk.session().spawn({"/bin/sh", "-c",
                              "exec dbus-monitor $TALVORI_SPEECHLAG_MONITOR_FORMAT --address '" +
                                  desk.accessibilityBus().address() + "' > '" + file + "'"});
    }
    reader = std::make_unique<OrcaTestReader>(desk.session(), desk.accessibilityBus().address());
    if (!reader->isReady()) return reader->error();
    if (!runUntil([&] { return desk.desktop->accessibilityBridge().isRegistered(); }))
        return "the program never registers with the reader";
    desk.session().spawn({"/usr/bin/env", "AT_SPI_BUS_ADDRESS=" + desk.accessibilityBus().address(),
                          "/usr/bin/python3", "-c", gtkWindow});
    if (!runUntil([&] { return reader->speech().find(gtkWords) != std::string::npos; }))
        return "the GTK window is never read";
    return "";
}

// The medians, 90th percentiles and ours over GTK's.
void report(benchmark::State& state, const std::vector<double>& ours,
            const std::vector<double>& gtk) {
    const double ours50 = percentile(ours, 0.5), ours90 = percentile(ours, 0.9);
    const double gtk50 = percentile(gtk, 0.5), gtk90 = percentile(gtk, 0.9);
    state.counters["ours_p50_ms"] = ours50;
    state.counters["ours_p90_ms"] = ours90;
    state.counters["gtk_p50_ms"] = gtk50;
    state.counters["gtk_p90_ms"] = gtk90;
    state.counters["ratio_p50"] = gtk50 > 0 ? ours50 / gtk50 : 0;
    state.counters["ratio_p90"] = gtk90 > 0 ? ours90 / gtk90 : 0;
    state.counters["heard"] = static_cast<double>(ours.size() + gtk.size());
}

void BM_X11TabToSpeechAgainstGtk(benchmark::State& state) {
    X11ReaderDesktop desk;
    std::unique_ptr<OrcaTestReader> reader;
    if (const auto error = startReading(desk, reader, kGtkWindow, "Button 1"); !error.empty())
        return state.SkipWithError(error.c_str());
    testing::openSettingsWindow();
    if (!runUntil([] {
            const auto window = platform().application().sceneWindow("settings");
            return window && window->isKeyWindow();
        })) {
        return state.SkipWithError("Settings never opens");
    }
    const SpeechWatch watch(*reader);
    std::vector<double> ours;
    std::vector<double> gtk;
    for (auto _ : state) {
        const auto settings = platform().application().sceneWindow("settings");
        const auto mine = tabToSpeech(*desk.driver, watch);
        ours.insert(ours.end(), mine.begin(), mine.end());
        // Alt+Tab to the GTK window, then back for the next round.
        desk.driver->tap(X11TestDriver::kTab, {X11TestDriver::kLeftAlt});
        runUntil([&] { return !settings->isKeyWindow(); }, 3);
        const auto theirs = tabToSpeech(*desk.driver, watch);
        gtk.insert(gtk.end(), theirs.begin(), theirs.end());
        desk.driver->tap(X11TestDriver::kTab, {X11TestDriver::kLeftAlt});
        runUntil([&] { return settings->isKeyWindow(); }, 3);
    }
    report(state, ours, gtk);
    if (std::getenv("TALVORI_SPEECHLAG_MONITOR"))
        std::fprintf(stderr, "%s", reader->speech().c_str());
    platform().application().sceneWindow("settings")->close();
}
BENCHMARK(BM_X11TabToSpeechAgainstGtk)->Iterations(1)->Unit(benchmark::kMillisecond);

bool saysPressed(const std::string& said) {
    return said.find("pressed") != std::string::npos;
}

// Rounds of Space on the status panel's Focus Mode switch, then on the GTK toggle: each press
// turns it on or off, and every round ends where it began.
void BM_X11FocusSwitchPressedAgainstGtk(benchmark::State& state) {
    X11ReaderDesktop desk;
    std::unique_ptr<OrcaTestReader> reader;
    if (const auto error = startReading(desk, reader, kGtkToggle, "Reference switch");
        !error.empty())
        return state.SkipWithError(error.c_str());
    const SpeechWatch watch(*reader);
    auto& panel = desk.manager->menuBarPanelController();
    std::vector<double> ours;
    std::vector<double> gtk;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            // As its shortcut opens it; the switch is the third stop.
            const auto from = watch.speech().size();
            const auto said = [&](const char* words) {
                return runUntil(
                    [&] { return watch.speech().find(words, from) != std::string::npos; });
            };
            panel.showPanel(true);
            if (!said("Settings")) return state.SkipWithError("the panel is never read");
            desk.driver->tap(X11TestDriver::kTab);
            desk.driver->tap(X11TestDriver::kTab);
            if (!said("Focus Mode")) return state.SkipWithError("the switch is never reached");
            const auto mine =
                keyToSpeech(*desk.driver, watch, X11TestDriver::kSpace, kPresses, saysPressed);
            ours.insert(ours.end(), mine.begin(), mine.end());
            // Escape closes the panel, which gives the keys back to the GTK window.
            desk.driver->tap(X11TestDriver::kEscape);
            if (!runUntil([&] { return !panel.isPanelVisible(); }, 3) || !said("Reference switch"))
                return state.SkipWithError("the GTK window never has the keys back");
            const auto theirs =
                keyToSpeech(*desk.driver, watch, X11TestDriver::kSpace, kPresses, saysPressed);
            gtk.insert(gtk.end(), theirs.begin(), theirs.end());
        }
    }
    report(state, ours, gtk);
    if (std::getenv("TALVORI_SPEECHLAG_MONITOR"))
        std::fprintf(stderr, "%s", reader->speech().c_str());
}
BENCHMARK(BM_X11FocusSwitchPressedAgainstGtk)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori::bench

// A key typed into a cover's name field, from the server's key press to the character on the
// composited screen, while other programs misbehave: none does, the screen reader's registry never
// answers, the clipboard's owner trickles a pasted text that never ends, or a client keeps a
// hundred thousand calls queued on the session bus.

#include <benchmark/benchmark.h>
#include <systemd/sd-bus.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "X11BenchDesktop.hpp"
#include "X11ReaderDesktop.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/atspi/harness/AtspiTestBus.hpp"
#include "platform/atspi/harness/AtspiTestReader.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/freedesktop/SessionBus.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/harness/X11ClipboardPeer.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::bench {
namespace {

using testing::AtspiTestBus;
using testing::AtspiTestReader;
using testing::ClipboardPeer;
using testing::X11TestBus;
using testing::X11TestDriver;

enum class Trouble { none, silentRegistry, queuedCalls, tricklingClipboard };

constexpr int kQueuedCalls = 100'000;
// Keys of the test server's keyboard (as the driver counts them): W, a wide letter, many pixels.
constexpr std::uint8_t kW = 17;
constexpr std::uint8_t kBackspace = 14;
constexpr std::uint8_t kV = 47;
// Past the two seconds a paste is given up after: a new one then starts while none is under way,
// rather than joining a queue of them.
constexpr auto kPasteAgainAfter = std::chrono::milliseconds(2300);

bool runUntil(const std::function<bool()>& condition, double seconds = 5) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        platform().runLoop().runOnce(0.05);
    }
    return true;
}

// The desktop with a session bus and the accessibility bus, the program's runtime on it, and the
// name field of a cover's row in the status panel focused.
class TypingDesktop final : public X11ReaderDesktop {
  public:
    ~TypingDesktop() override {
        if (flooder_) sd_bus_flush_close_unref(flooder_);
    }

    bool makeTrouble(Trouble trouble) {
        if (trouble == Trouble::tricklingClipboard) {
            clipboardOwner_ = std::make_unique<ClipboardPeer>(display());
            clipboardOwner_->setSending(ClipboardPeer::Sending::trickle);
            clipboardOwner_->copy("never whole");
        }
        if (trouble != Trouble::silentRegistry) return true;
        return startReader() && accessibilityBus().stopRegistry();
    }

    // Keeps a paste from the trickling owner under way: the first key after each new one is typed
    // as its transfer begins, the others while its pieces come.
    void keepPasteTrickling() {
        const auto now = Clock::now();
        if (lastPaste_ && now - *lastPaste_ < kPasteAgainAfter) return;
        driver->tap(kV, {X11TestDriver::kLeftControl});
        lastPaste_ = now;
    }

    // The points along the middle of the focused name field, in root pixels; none when it cannot
    // be focused.
    std::vector<PixelWatch::Point> focusNameField() {
        manager->createCover();
        auto& menuBar = manager->menuBarPanelController();
        menuBar.showPanel();
        if (!runUntil([&] { return menuBar.isPanelVisible(); })) return {};
        ui::Host& host = menuBar.hostingView()->host();
        const auto rename = host.find(ui::Query::byLabel("Rename cover"));
        if (!rename || !rename.performAccessibilityAction()) return {};
        if (!runUntil([&] { return host.hasFocusedTextField(); })) return {};
        // The panel has the keyboard once the window manager gave it the focus.
        if (!runUntil([&] { return menuBar.panel()->isKeyWindow(); })) return {};
        runUntil([] { return false; }, 0.3);
        const auto field = host.find(ui::Query::byLabel("Name")).frameOnScreen();
        if (!field) return {};
        const double primaryHeight = platform().screens().primaryHeight();
        std::vector<PixelWatch::Point> points;
        const int y = static_cast<int>(primaryHeight - field->midY());
        for (int x = static_cast<int>(field->minX()); x < field->maxX(); x += 2) {
            points.push_back({x, y});
        }
        return points;
    }

    // Keeps calls queued for the program: a new flood once the last one was worked through.
    void keepCallsQueued() {
        if (!flooder_) flooder_ = sessionBus().connect();
        if (!flooder_) return;
        while (sd_bus_process(flooder_, nullptr) > 0) {
        }
        if (marker_) return;
        const char* program = desktop->sessionBus()->uniqueName();
        for (int call = 0; call < kQueuedCalls; ++call) {
            sd_bus_message* message = nullptr;
            sd_bus_message_new_method_call(flooder_, &message, program, "/",
                                           "org.freedesktop.DBus.Introspectable", "Introspect");
            sd_bus_message_set_expect_reply(message, 0);
            sd_bus_send(flooder_, message, nullptr);
            sd_bus_message_unref(message);
        }
        sd_bus_slot* slot = nullptr;
        sd_bus_call_method_async(
            flooder_, &slot, program, "/", "org.freedesktop.DBus.Peer", "Ping",
            [](sd_bus_message*, void* self, sd_bus_error*) {
                static_cast<TypingDesktop*>(self)->marker_.reset();
                return 0;
            },
            this, "");
        marker_.reset(slot);
        sd_bus_flush(flooder_);
    }

  private:
    struct SlotRelease {
        void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
    };

    sd_bus* flooder_ = nullptr;
    std::unique_ptr<sd_bus_slot, SlotRelease> marker_;
    std::unique_ptr<ClipboardPeer> clipboardOwner_;
    std::optional<Clock::time_point> lastPaste_;
};

// Milliseconds from the press to the first read of the screen that shows the field changed;
// "p50_ms" and "p99_ms" over the keys typed.
void BM_X11KeyToCharacterDrawn(benchmark::State& state) {
    const auto trouble = static_cast<Trouble>(state.range(0));
    TypingDesktop desktop;
    if (!desktop.error().empty()) {
        state.SkipWithError(desktop.error().c_str());
        return;
    }
    const auto points = desktop.focusNameField();
    if (points.empty() || !desktop.makeTrouble(trouble)) {
        state.SkipWithError("the name field could not be focused with the trouble in place");
        return;
    }
    PixelWatch watch(desktop.display());
    std::vector<double> latencies;
    for (auto _ : state) {
        if (trouble == Trouble::queuedCalls) desktop.keepCallsQueued();
        if (trouble == Trouble::tricklingClipboard) desktop.keepPasteTrickling();
        std::vector<int> before;
        for (const auto& point : points) {
            before.push_back(desktop.driver->pixel(point.x, point.y).brightness());
        }
        Clock::time_point drawn;
        watch.start(points, [&](const std::vector<int>& brightness, Clock::time_point at) {
            if (brightness == before) return false;
            drawn = at;
            return true;
        });
        const auto pressed = Clock::now();
        desktop.driver->tap(kW);
        while (!watch.isDone()) platform().runLoop().runOnce(0.05);
        if (!watch.finish()) {
            state.SkipWithError("the character was not drawn");
            return;
        }
        latencies.push_back(milliseconds(drawn - pressed));
        state.SetIterationTime(std::chrono::duration<double>(drawn - pressed).count());
        // Taken out again, so that the next one shows within the field.
        desktop.driver->tap(kBackspace);
        runUntil([] { return false; }, trouble == Trouble::silentRegistry ? 1.0 : 0.1);
    }
    state.counters["p50_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
}
BENCHMARK(BM_X11KeyToCharacterDrawn)
    ->ArgName("trouble")
    ->Arg(static_cast<int>(Trouble::none))
    ->Arg(static_cast<int>(Trouble::queuedCalls))
    ->Arg(static_cast<int>(Trouble::tricklingClipboard))
    ->Iterations(60)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_X11KeyToCharacterDrawn)
    ->ArgName("trouble")
    ->Arg(static_cast<int>(Trouble::silentRegistry))
    ->Iterations(15)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori::bench

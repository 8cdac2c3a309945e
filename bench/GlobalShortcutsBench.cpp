#include <benchmark/benchmark.h>

#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/HotKeyCenter.hpp"
#include "GlobalShortcuts/Registry.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimHotKeyService.hpp"
#include "platform/sim/SimInput.hpp"

namespace GlobalShortcuts {
namespace {

using talvori::ModifierFlags;

// A simulated desktop with the application's seven named shortcuts, each with a handler.
class SevenShortcuts {
  public:
    SevenShortcuts() {
        talvori::Platform::install(talvori::sim::SimDesktop::makePlatform());
        const auto optionCommand = ModifierFlags::option | ModifierFlags::command;
        const std::vector<Name> names{
            Name("toggleFocus", Shortcut(Key::f, ModifierFlags::shift | ModifierFlags::command)),
            Name("showPanel", Shortcut(Key::d, ModifierFlags::shift | ModifierFlags::command)),
            Name("newCover", Shortcut(Key::n, optionCommand)),
            Name("strongerFocus", Shortcut(Key::upArrow, optionCommand)),
            Name("weakerFocus", Shortcut(Key::downArrow, optionCommand)),
            Name("moreBlur", Shortcut(Key::upArrow, optionCommand | ModifierFlags::control)),
            Name("lessBlur", Shortcut(Key::downArrow, optionCommand | ModifierFlags::control)),
        };
        for (const auto& name : names) onKeyDown(name, [this] { ++calls; });
        talvori::platform().virtualClock()->runUntilIdle();
    }
    ~SevenShortcuts() { talvori::Platform::uninstall(); }

    talvori::sim::SimHotKeyService& service() const {
        return static_cast<talvori::sim::SimHotKeyService&>(talvori::platform().hotKeyService());
    }

    std::int64_t calls = 0;
};

// The system's pressed event of the last of the seven hot keys, through the centre and the
// registry, to its handler.
void BM_HotKeyEventToHandler(benchmark::State& state) {
    SevenShortcuts shortcuts;
    const talvori::HotKeyEvent pressed{talvori::HotKeyEventKind::pressed,
                                       {HotKeyCenter::kSignature, 7}};
    for (auto _ : state) shortcuts.service().deliver(pressed);
    if (shortcuts.calls != static_cast<std::int64_t>(state.iterations())) {
        state.SkipWithError("the handler was not called once per event");
    }
}
BENCHMARK(BM_HotKeyEventToHandler);

// The same from a key typed on the simulated keyboard, down and up.
void BM_TypedHotKeyToHandler(benchmark::State& state) {
    SevenShortcuts shortcuts;
    const auto stroke = talvori::sim::KeyStroke::key(
        125, "", ModifierFlags::control | ModifierFlags::option | ModifierFlags::command);
    auto& input = static_cast<talvori::sim::SimInput&>(talvori::platform().input());
    for (auto _ : state) input.typeKey(stroke);
    if (shortcuts.calls != static_cast<std::int64_t>(state.iterations())) {
        state.SkipWithError("the handler was not called once per key");
    }
}
BENCHMARK(BM_TypedHotKeyToHandler);

// Display strings: a letter from the keyboard layout, and a special key.
void BM_ShortcutDescription(benchmark::State& state) {
    SevenShortcuts shortcuts;
    const Shortcut shortcut =
        state.range(0) == 0 ? Shortcut(Key::f, ModifierFlags::shift | ModifierFlags::command)
                            : Shortcut(Key::space, ModifierFlags::option | ModifierFlags::command);
    for (auto _ : state) benchmark::DoNotOptimize(shortcut.description());
}
BENCHMARK(BM_ShortcutDescription)->Arg(0)->Arg(1);

}  // namespace
}  // namespace GlobalShortcuts

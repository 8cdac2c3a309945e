#include <gtest/gtest.h>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/EventStreams.hpp"
#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcutsTest.hpp"
#include "platform/core/Task.hpp"
#include "platform/desktop/Event.hpp"

namespace GlobalShortcuts {
namespace {

using Flags = talvori::ModifierFlags;
using talvori::Async;
using talvori::AsyncStream;
using talvori::Task;

class EventStreamsTest : public testing::GlobalShortcutsTest {
  protected:
    EventStreamsTest() { input().setKeyRepeat(0.5, 0.1); }
    ~EventStreamsTest() override {
        for (const auto& task : consumers_) task.cancel();
        runUntilIdle();
    }

    // Takes the stream's elements into `into` until it ends; cancelling the task ends it.
    template <class T>
    Task consume(AsyncStream<T> stream, std::vector<T>& into) {
        auto task = Task::start(
            loop(),
            [stream = std::make_shared<AsyncStream<T>>(std::move(stream)), &into]() -> Async {
                while (auto element = co_await stream->next()) into.push_back(*element);
            });
        consumers_.push_back(task);
        runUntilIdle();
        return task;
    }
    bool pressKeys(const Shortcut& shortcut) const {
        const bool consumed = press(shortcut);
        runUntilIdle();
        return consumed;
    }
    void releaseKeys(const Shortcut& shortcut) const {
        release(shortcut);
        runUntilIdle();
    }

    const Shortcut commandShiftF{Key::f, Flags::command | Flags::shift};
    const Shortcut commandShiftD{Key::d, Flags::command | Flags::shift};

  private:
    std::vector<Task> consumers_;
};

using Events = std::vector<EventType>;
constexpr auto down = EventType::keyDown;
constexpr auto up = EventType::keyUp;

TEST_F(EventStreamsTest, EveryOpenStreamOfANameReceivesEveryEvent) {
    const Name name("toggleFocus", commandShiftF);
    Events first, second;
    auto firstTask = consume(events(name), first);
    auto secondTask = consume(events(name), second);
    EXPECT_TRUE(pressKeys(commandShiftF));
    releaseKeys(commandShiftF);
    EXPECT_EQ(first, (Events{down, up}));
    EXPECT_EQ(second, (Events{down, up}));

    firstTask.cancel();
    runUntilIdle();
    EXPECT_TRUE(isRegistered(commandShiftF));
    EXPECT_TRUE(pressKeys(commandShiftF));
    EXPECT_EQ(first.size(), 2u);
    EXPECT_EQ(second.size(), 3u);
    secondTask.cancel();
    runUntilIdle();
    EXPECT_FALSE(isRegistered(commandShiftF));
}

TEST_F(EventStreamsTest, TheLastStreamKeepsAHotKeyAnotherActiveNameStores) {
    const Name streamed("streamed", commandShiftF);
    const Name handled("handled", commandShiftF);
    onKeyDown(handled, [] {});
    {
        auto stream = events(streamed);
        removeHandler(handled);
        // The open stream keeps the name active.
        EXPECT_TRUE(isRegistered(commandShiftF));
        onKeyDown(handled, [] {});
    }
    EXPECT_TRUE(isRegistered(commandShiftF));
    removeHandler(handled);
    EXPECT_FALSE(isRegistered(commandShiftF));
}

TEST_F(EventStreamsTest, AStreamOfADisabledNameIsSilentUntilTheNameIsEnabled) {
    const Name name("toggleFocus", commandShiftF);
    disable({name});
    Events received;
    consume(events(name), received);
    EXPECT_FALSE(isRegistered(commandShiftF));
    enable({name});
    EXPECT_TRUE(pressKeys(commandShiftF));
    EXPECT_EQ(received, (Events{down}));
}

TEST_F(EventStreamsTest, AShortcutStreamIgnoresNamesAndTheirDisabling) {
    const Name name("toggleFocus", commandShiftF);
    onKeyDown(name, [] {});
    disable({name});
    Events received;
    auto task = consume(events(commandShiftF), received);
    EXPECT_TRUE(isRegistered(commandShiftF));
    EXPECT_TRUE(pressKeys(commandShiftF));
    releaseKeys(commandShiftF);
    EXPECT_EQ(received, (Events{down, up}));
    task.cancel();
    runUntilIdle();
    EXPECT_FALSE(isRegistered(commandShiftF));
}

TEST_F(EventStreamsTest, FilteredStreamsYieldOnlyTheirType) {
    const Name name("toggleFocus", commandShiftF);
    Events releases, presses;
    consume(events(up, name), releases);
    consume(events(down, commandShiftF), presses);
    pressKeys(commandShiftF);
    releaseKeys(commandShiftF);
    pressKeys(commandShiftF);
    EXPECT_EQ(releases, (Events{up}));
    EXPECT_EQ(presses, (Events{down, down}));
}

TEST_F(EventStreamsTest, RemovingAHandlerLeavesAnOpenStreamReceiving) {
    const Name name("toggleFocus", commandShiftF);
    onKeyDown(name, [] {});
    Events received;
    consume(events(name), received);
    removeHandler(name);
    EXPECT_TRUE(pressKeys(commandShiftF));
    EXPECT_EQ(received, (Events{down}));
}

TEST_F(EventStreamsTest, AHeldKeyTicksAtThePressAfterTheDelayAndThenPerInterval) {
    const Name name("strongerFocus", commandShiftF);
    std::vector<KeyRepeatTick> ticks;
    consume(repeatingKeyDownEvents(name), ticks);
    pressKeys(commandShiftF);
    EXPECT_EQ(ticks.size(), 1u);
    advance(0.49);
    EXPECT_EQ(ticks.size(), 1u);
    advance(0.01);
    EXPECT_EQ(ticks.size(), 2u);
    advance(0.3);
    EXPECT_EQ(ticks.size(), 5u);
    releaseKeys(commandShiftF);
    advance(1);
    EXPECT_EQ(ticks.size(), 5u);

    // A release before the delay gives the press's tick alone.
    pressKeys(commandShiftF);
    advance(0.3);
    releaseKeys(commandShiftF);
    advance(1);
    EXPECT_EQ(ticks.size(), 6u);
}

TEST_F(EventStreamsTest, TicksStopWhenTheShortcutNoLongerFires) {
    const Name name("strongerFocus", commandShiftF);
    std::vector<KeyRepeatTick> ticks;
    consume(repeatingKeyDownEvents(name), ticks);

    pressKeys(commandShiftF);
    setPaused(true);
    advance(1);
    EXPECT_EQ(ticks.size(), 1u);
    setPaused(false);
    releaseKeys(commandShiftF);

    pressKeys(commandShiftF);
    setEnabled(false);
    advance(1);
    EXPECT_EQ(ticks.size(), 2u);
    setEnabled(true);
    releaseKeys(commandShiftF);

    // A handler that stores the name's shortcut anew on each press: the press's hot key is
    // replaced while the key is held, and its release still ends the ticks.
    onKeyDown(name, [&] { setShortcut(commandShiftD, name); });
    pressKeys(commandShiftF);
    EXPECT_EQ(ticks.size(), 2u);
    releaseKeys(commandShiftF);
    pressKeys(commandShiftD);
    advance(0.5);
    EXPECT_EQ(ticks.size(), 4u);
    releaseKeys(commandShiftD);
    advance(1);
    EXPECT_EQ(ticks.size(), 4u);
}

TEST_F(EventStreamsTest, ASlowConsumerFindsOnlyTheNewestTick) {
    const Name name("strongerFocus", commandShiftF);
    auto stream = repeatingKeyDownEvents(name);
    pressKeys(commandShiftF);
    advance(1);
    releaseKeys(commandShiftF);
    std::vector<KeyRepeatTick> ticks;
    auto task = consume(std::move(stream), ticks);
    EXPECT_EQ(ticks.size(), 1u);
}

TEST_F(EventStreamsTest, EndingAStreamReleasesTheShortcutTheNameHoldsThen) {
    const Name name("custom");
    setShortcut(commandShiftF, name);
    auto stream = repeatingKeyDownEvents(name);
    EXPECT_TRUE(isRegistered(commandShiftF));
    setShortcut(commandShiftD, name);
    EXPECT_FALSE(isRegistered(commandShiftF));
    EXPECT_TRUE(isRegistered(commandShiftD));
    stream.cancel();
    EXPECT_FALSE(isRegistered(commandShiftD));
    EXPECT_TRUE(hotKeys().registrations().empty());
}

}  // namespace
}  // namespace GlobalShortcuts

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "platform/core/Timer.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/core/weakly.hpp"
#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

using testing::PlatformTest;

class TimerTest : public PlatformTest {};

TEST_F(TimerTest, InvalidatedInsideItsOwnBlockNeverFiresAgain) {
    int fires = 0;
    auto timer = Timer::scheduledTimer(loop(), 0.5, true, [&](Timer& self) {
        ++fires;
        self.invalidate();
        self.invalidate();
    });
    advance(5);
    EXPECT_EQ(fires, 1);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(loop().pendingCount(), 0u);
}

TEST_F(TimerTest, InvalidateBeforeFiringCancelsAndMayBeRepeated) {
    int fires = 0;
    auto timer = Timer::scheduledTimer(loop(), 1, false, [&](Timer&) { ++fires; });
    timer->invalidate();
    timer->invalidate();
    advance(2);
    EXPECT_EQ(fires, 0);
}

TEST_F(TimerTest, OneShotFiresOnceAtItsDueTimeAndNotBefore) {
    int fires = 0;
    auto timer = Timer::scheduledTimer(loop(), 0.2, false, [&](Timer&) { ++fires; });
    advance(0.199999);
    EXPECT_EQ(fires, 0);
    advance(0.000001);
    EXPECT_EQ(fires, 1);
    EXPECT_FALSE(timer->isValid());
    advance(1);
    EXPECT_EQ(fires, 1);
}

TEST_F(TimerTest, TheLoopKeepsAScheduledTimerAliveAndReleasesItsBlockWhenInvalidated) {
    auto witness = std::make_shared<int>(0);
    std::weak_ptr<int> weakWitness = witness;
    std::weak_ptr<Timer> weakTimer;
    {
        auto timer = Timer::scheduledTimer(loop(), 1, true, [witness](Timer&) { ++*witness; });
        weakTimer = timer;
    }
    witness.reset();
    advance(2);
    ASSERT_FALSE(weakTimer.expired());
    EXPECT_EQ(*weakWitness.lock(), 2);
    weakTimer.lock()->invalidate();
    EXPECT_TRUE(weakWitness.expired()) << "the block and what it captured are released";
    EXPECT_TRUE(weakTimer.expired());
}

TEST_F(TimerTest, NonFiniteOrTinyIntervalsCannotSpinTheLoop) {
    int fires = 0;
    auto timer = Timer::scheduledTimer(loop(), std::nan(""), true, [&](Timer&) { ++fires; });
    advance(0.01);
    EXPECT_EQ(fires, 100);
    timer->invalidate();
}

// An owner's timer stops with the owner, when a new one replaces it, and when the owner clears the
// slot from inside the timer's own block.
TEST_F(TimerTest, ATimerSlotStopsItsTimerWhenReplacedClearedOrDestroyed) {
    std::vector<std::string> fired;
    auto every = [&](const char* name) {
        return Timer::scheduledTimer(loop(), 1, true,
                                     [&fired, name](Timer&) { fired.push_back(name); });
    };
    {
        TimerSlot slot;
        slot.replace(every("first"));
        advance(1);
        slot.replace(every("second"));
        advance(1);
    }
    advance(5);
    EXPECT_EQ(fired, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(loop().pendingCount(), 0u);

    TimerSlot slot;
    int fires = 0;
    slot.replace(Timer::scheduledTimer(loop(), 1, true, [&](Timer&) {
        ++fires;
        slot.clear();
    }));
    advance(5);
    EXPECT_EQ(fires, 1);
    EXPECT_TRUE(slot.isEmpty());
    EXPECT_EQ(loop().pendingCount(), 0u);
}

struct Ticker {
    int ticks = 0;
    std::vector<int> seen;
    void tick() { ++ticks; }
    void note(int value) { seen.push_back(value); }
    // Takes odd numbers, hands even ones on.
    std::optional<int> filter(int value) {
        ++ticks;
        return value % 2 ? std::nullopt : std::optional(value);
    }
};

TEST_F(TimerTest, AWeakCallbackReachesItsOwnerOnlyWhileItLives) {
    auto owner = std::make_shared<Ticker>();
    auto timer =
        Timer::scheduledTimer(loop(), 1, true, weakly(std::weak_ptr(owner), &Ticker::tick));
    const std::function<void(int)> note = weakly(std::weak_ptr(owner), &Ticker::note);
    advance(2);
    note(7);
    EXPECT_EQ(owner->ticks, 2);
    EXPECT_EQ(owner->seen, std::vector<int>{7});
    owner.reset();
    advance(2);
    note(8);
    timer->invalidate();
}

// The owner lives until the callback returns, even when the callback drops the last reference.
TEST_F(TimerTest, AWeakCallbackKeepsItsOwnerForTheLengthOfTheCall) {
    auto owner = std::make_shared<Ticker>();
    std::shared_ptr<Ticker>* holder = &owner;
    const std::function<void()> dropAndUse = weakly(std::weak_ptr(owner), [holder](Ticker& self) {
        holder->reset();
        self.tick();
        self.note(self.ticks);
    });
    dropAndUse();
    EXPECT_EQ(owner, nullptr);
}

// A monitor whose owner is gone must hand every event on, never swallow it; a coroutine asks for
// its owner afresh and learns whether it is still there.
TEST_F(TimerTest, AWeakCallbackAnswersForItsOwnerAndItsFallbackOnceTheOwnerIsGone) {
    auto owner = std::make_shared<Ticker>();
    const std::weak_ptr<Ticker> weak = owner;
    const std::function<std::optional<int>(int)> monitor =
        weakly(weak, &Ticker::filter, passThrough);
    const auto count = weakly(weak, [](Ticker& self) { return self.ticks; });
    const auto named = weakly(
        weak, [](Ticker&) { return std::string("owner"); }, "gone");
    EXPECT_EQ(monitor(3), std::nullopt);
    EXPECT_EQ(monitor(4), 4);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(named(), "owner");
    EXPECT_TRUE(withOwner(weak, &Ticker::tick));
    EXPECT_EQ(withOwner(weak, &Ticker::filter, 6), std::optional<std::optional<int>>(6));
    owner.reset();
    EXPECT_EQ(monitor(3), 3);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(named(), "gone");
    EXPECT_FALSE(withOwner(weak, &Ticker::tick));
    EXPECT_EQ(withOwner(weak, &Ticker::filter, 6), std::nullopt);
}

}  // namespace
}  // namespace talvori

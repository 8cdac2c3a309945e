#include <gtest/gtest.h>

#include "platform/core/Timer.hpp"
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

}  // namespace
}  // namespace talvori

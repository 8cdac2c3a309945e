#include <gtest/gtest.h>

#include "platform/core/Task.hpp"
#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

using testing::PlatformTest;

class TaskTest : public PlatformTest {};

TEST_F(TaskTest, StartsOnALaterTurn) {
    bool ran = false;
    auto task = Task::start(loop(), [&]() -> Async {
        ran = true;
        co_return;
    });
    EXPECT_FALSE(ran);
    runUntilIdle();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(task.isFinished());
}

TEST_F(TaskTest, CancellingASleepingTaskEndsTheSleepAtOnceAndSkipsTheBody) {
    bool bodyRan = false;
    std::optional<double> wokeAt;
    std::optional<bool> sleepResult;
    auto task = Task::start(loop(), [&]() -> Async {
        const bool completed = co_await Task::sleep(8);
        wokeAt = now();
        sleepResult = completed;
        if (Task::isCurrentCancelled()) co_return;
        bodyRan = true;
    });
    advance(3);
    task.cancel();
    runUntilIdle();
    EXPECT_EQ(wokeAt, 3.0);
    EXPECT_EQ(sleepResult, false);
    advance(10);
    EXPECT_FALSE(bodyRan);
    EXPECT_TRUE(task.isCancelled());
    EXPECT_TRUE(task.isFinished());
    task.cancel();  // harmless once finished
}

TEST_F(TaskTest, SleepingAfterCancellationReturnsAtOnce) {
    std::vector<bool> results;
    auto task = Task::start(loop(), [&]() -> Async {
        results.push_back(co_await Task::sleep(1));
        results.push_back(co_await Task::sleep(1));
    });
    task.cancel();
    runUntilIdle();
    EXPECT_EQ(results, (std::vector<bool>{false, false}));
    EXPECT_DOUBLE_EQ(now(), 0.0);
}

TEST_F(TaskTest, ASlotCancelsTheOldRequestAndStaysNonEmptyAfterTheTaskEnds) {
    std::vector<std::string> done;
    TaskSlot slot;
    auto request = [&](std::string name) {
        slot.replace(Task::start(loop(), [&done, name]() -> Async {
            if (co_await Task::sleep(0.5)) done.push_back(name);
        }));
    };
    request("first");
    advance(0.3);
    request("second");
    advance(1);
    EXPECT_EQ(done, (std::vector<std::string>{"second"}));
    EXPECT_FALSE(slot.isEmpty());
    EXPECT_TRUE(slot.task().isFinished());
    slot.clear();
    EXPECT_TRUE(slot.isEmpty());
}

TEST_F(TaskTest, TheNewerRequestWinsByGeneration) {
    Generation generation;
    std::vector<std::uint64_t> applied;
    auto request = [&](double delay) {
        const auto mine = generation.next();
        loop().runAfter(delay, [&, mine] {
            if (generation.isCurrent(mine)) applied.push_back(mine);
        });
    };
    request(0.5);
    request(0.1);
    advance(1);
    EXPECT_EQ(applied, (std::vector<std::uint64_t>{2}));
}

TEST_F(TaskTest, AwaitsACallbackOperationAndItsCancellationHandler) {
    std::optional<Continuation<bool>> pending;
    std::vector<std::string> events;
    auto task = Task::start(loop(), [&]() -> Async {
        const bool granted = co_await Task::withContinuation<bool>([&](Continuation<bool> c) {
            pending = c;
            Task::setCancellationHandler([&] {
                events.push_back("handler");
                pending->resume(false);
            });
        });
        events.push_back(granted ? "granted" : "denied");
    });
    runUntilIdle();
    ASSERT_TRUE(pending);
    task.cancel();
    pending->resume(true);  // too late: the first resumption won
    runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"handler", "denied"}));
}

TEST_F(TaskTest, AnUnstoredTaskStillRunsToItsEnd) {
    int steps = 0;
    (void)Task::start(loop(), [&]() -> Async {
        ++steps;
        co_await Task::sleep(1);
        ++steps;
        co_await Task::yield();
        ++steps;
    });
    advance(2);
    EXPECT_EQ(steps, 3);
}

TEST_F(TaskTest, CapturesOutliveTheTemporaryClosure) {
    auto shared = std::make_shared<std::string>("captured");
    std::string seen;
    (void)Task::start(loop(), [shared, &seen]() -> Async {
        co_await Task::sleep(1);
        seen = *shared;
    });
    shared.reset();
    advance(1);
    EXPECT_EQ(seen, "captured");
}

TEST_F(TaskTest, APendingTaskIsDestroyedWithItsLoop) {
    auto witness = std::make_shared<int>(1);
    std::weak_ptr<int> weak = witness;
    (void)Task::start(loop(), [witness]() -> Async { co_await Task::sleep(100); });
    witness.reset();
    advance(1);
    EXPECT_FALSE(weak.expired());
    Platform::uninstall();
    EXPECT_TRUE(weak.expired());
    Platform::install(Platform::makeVirtual());
}

}  // namespace
}  // namespace talvori

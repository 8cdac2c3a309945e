#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "platform/core/CaptureLogSink.hpp"
#include "platform/core/LogRouter.hpp"
#include "platform/core/Task.hpp"
#include "platform/core/Timer.hpp"
#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

using testing::PlatformTest;

class RunLoopTest : public PlatformTest {};

TEST_F(RunLoopTest, PostedWorkRunsLaterInPostingOrder) {
    std::vector<int> order;
    loop().post([&] {
        order.push_back(1);
        loop().post([&] { order.push_back(3); });
    });
    loop().post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty()) << "post must never run synchronously";
    runUntilIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(RunLoopTest, VirtualTimeRunsTimersAndTasksAtTheirDueTimesInOrder) {
    std::vector<std::pair<std::string, double>> fired;
    auto record = [&](std::string name) { fired.emplace_back(std::move(name), now()); };
    auto a = Timer::scheduledTimer(loop(), 0.5, false, [&](Timer&) { record("0.5"); });
    auto b = Timer::scheduledTimer(loop(), 0.016, false, [&](Timer&) { record("0.016"); });
    auto c = Timer::scheduledTimer(loop(), 0.12, false, [&](Timer&) { record("0.12"); });
    auto repeating = Timer::scheduledTimer(loop(), 2.5, true, [&](Timer&) { record("2.5"); });
    auto task = Task::start(loop(), [&]() -> Async {
        if (co_await Task::sleep(8)) record("task");
    });

    advance(10);

    const std::vector<std::pair<std::string, double>> expected{
        {"0.016", 0.016}, {"0.12", 0.12}, {"0.5", 0.5},  {"2.5", 2.5},
        {"2.5", 5.0},     {"2.5", 7.5},   {"task", 8.0}, {"2.5", 10.0}};
    EXPECT_EQ(fired, expected);
    EXPECT_DOUBLE_EQ(now(), 10.0);
    repeating->invalidate();
}

TEST_F(RunLoopTest, TiesRunInSchedulingOrder) {
    std::vector<int> order;
    auto first = Timer::scheduledTimer(loop(), 1, false, [&](Timer&) { order.push_back(1); });
    loop().runAfter(1, [&] { order.push_back(2); });
    auto third = Timer::scheduledTimer(loop(), 1, false, [&](Timer&) { order.push_back(3); });
    advance(1);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(RunLoopTest, WorkThatFallsDueWhileAdvancingRunsToo) {
    std::vector<double> times;
    loop().runAfter(1, [&] {
        times.push_back(now());
        loop().runAfter(1, [&] { times.push_back(now()); });
        loop().runAfter(5, [&] { times.push_back(now()); });
    });
    advance(3);
    EXPECT_EQ(times, (std::vector<double>{1, 2}));
    advance(3);
    EXPECT_EQ(times, (std::vector<double>{1, 2, 6}));
}

TEST_F(RunLoopTest, DefaultModeTimersWaitForTrackingToEndAndThenFireOnce) {
    int defaultFires = 0;
    int commonFires = 0;
    auto defaultTimer = Timer::scheduledTimer(loop(), 1, true, [&](Timer&) { ++defaultFires; });
    auto commonTimer = Timer::scheduledTimer(
        loop(), 1, true, [&](Timer&) { ++commonFires; }, RunLoopMode::common);
    loop().setTracking(true);
    advance(5.5);
    EXPECT_EQ(defaultFires, 0);
    EXPECT_EQ(commonFires, 5);
    loop().setTracking(false);
    runUntilIdle();
    EXPECT_EQ(defaultFires, 1) << "a late repeating timer fires once, not in a burst";
    advance(0.4);
    EXPECT_EQ(defaultFires, 1);
    advance(0.1);
    EXPECT_EQ(defaultFires, 2) << "and then keeps its original beat";
    defaultTimer->invalidate();
    commonTimer->invalidate();
}

TEST_F(RunLoopTest, VirtualRunStopsWhenNothingIsLeft) {
    int count = 0;
    loop().runAfter(2, [&] { ++count; });
    loop().run();
    EXPECT_EQ(count, 1);
    EXPECT_DOUBLE_EQ(now(), 2.0);
}

TEST_F(RunLoopTest, WakeUpsCountTheMomentsAtWhichWorkRan) {
    const auto before = loop().wakeUpCount();
    loop().post([&] { loop().post([] {}); });
    loop().runAfter(1, [] {});
    loop().runAfter(1, [] {});
    auto timer = Timer::scheduledTimer(loop(), 2.5, true, [](Timer&) {});
    advance(10);
    // Now (the posts), 1 s (both delayed actions), and 2.5, 5, 7.5 and 10 s.
    EXPECT_EQ(loop().wakeUpCount() - before, 6u);
    timer->invalidate();
}

void newCoverEntryPoint() {
    platform().runLoop().assertMainThread();
}

void onAnotherThread(const std::function<void()>& work) {
    std::thread other(work);
    other.join();
}

// The message names the function that checked, without anybody typing its name.
TEST_F(RunLoopTest, OffThreadCallsStopTheProgramNamingTheCaller) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(onAnotherThread(newCoverEntryPoint),
                 "Talvori: .*newCoverEntryPoint.* must run on the main thread");
    EXPECT_DEATH(onAnotherThread([] { platform().runLoop().post([] {}); }),
                 "must run on the main thread");
    EXPECT_DEATH(onAnotherThread([] { platform().runLoop().runAfter(1, [] {}); }),
                 "must run on the main thread");
    newCoverEntryPoint();
    loop().post([] {});
}

TEST(RealRunLoopTest, WakesForOtherThreadsAndWatchedDescriptors) {
    auto loop = RunLoop::create(std::make_shared<RealClock>());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    auto watch = loop->watch(fds[0], POLLIN, [&](short) {
        char byte = 0;
        if (::read(fds[0], &byte, 1) == 1) received.push_back(byte);
        loop->stop();
    });
    std::thread writer([&] {
        loop->postFromAnyThread([&] { received.push_back('p'); });
        [[maybe_unused]] auto written = ::write(fds[1], "w", 1);
    });
    loop->run();
    writer.join();
    while (received.size() < 2) loop->runOnce(1.0);
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, "pw");
    ::close(fds[0]);
    ::close(fds[1]);
}

// A descriptor that hung up, or was closed under its watch, is ready at every poll: watched on,
// it would keep the loop from ever sleeping.
TEST(RealRunLoopTest, ADescriptorThatHangsUpOrIsClosedIsHandledOnceMoreAndWatchedNoMore) {
    auto router = std::make_shared<LogRouter>();
    auto capture = std::make_shared<CaptureLogSink>();
    router->addSink(capture);
    auto loop = RunLoop::create(std::make_shared<RealClock>(), Logger(router, "test", "RunLoop"));
    int hungUp[2];
    int closed[2];
    ASSERT_EQ(::pipe(hungUp), 0);
    ASSERT_EQ(::pipe(closed), 0);
    std::vector<short> hangUps;
    std::vector<short> closings;
    std::string left;
    auto hangUpWatch = loop->watch(hungUp[0], POLLIN, [&](short events) {
        hangUps.push_back(events);
        char buffer[8];
        for (ssize_t got; (got = ::read(hungUp[0], buffer, sizeof buffer)) > 0;) {
            left.append(buffer, static_cast<std::size_t>(got));
        }
    });
    auto closedWatch =
        loop->watch(closed[0], POLLIN, [&](short events) { closings.push_back(events); });
    ASSERT_EQ(::write(hungUp[1], "last", 4), 4);
    ::close(hungUp[1]);
    ::close(closed[0]);
    for (int turn = 0; turn < 5; ++turn) loop->runOnce(0.01);

    ASSERT_EQ(hangUps.size(), 1U);
    EXPECT_TRUE(hangUps[0] & POLLHUP);
    EXPECT_EQ(left, "last");
    ASSERT_EQ(closings.size(), 1U);
    EXPECT_TRUE(closings[0] & POLLNVAL);
    EXPECT_TRUE(hangUpWatch->ended && closedWatch->ended);
    EXPECT_EQ(capture->records().size(), 2U);
    ::close(hungUp[0]);
    ::close(closed[1]);
}

// Two connections ready in one turn, the first closing the second as it is handled: the second's
// owner is gone, and so must be its handler's call.
TEST(RealRunLoopTest, AWatchEndedEarlierInTheTurnIsNotCalled) {
    auto loop = RunLoop::create(std::make_shared<RealClock>());
    int first[2];
    int second[2];
    ASSERT_EQ(::pipe(first), 0);
    ASSERT_EQ(::pipe(second), 0);
    std::shared_ptr<FileWatch> secondWatch;
    int firstCalls = 0;
    auto firstWatch = loop->watch(first[0], POLLIN, [&](short) {
        ++firstCalls;
        secondWatch.reset();
    });
    secondWatch = loop->watch(second[0], POLLIN,
                              [](short) { ADD_FAILURE() << "called after its watch ended"; });
    ASSERT_EQ(::write(first[1], "x", 1), 1);
    ASSERT_EQ(::write(second[1], "x", 1), 1);
    loop->runOnce(0.01);
    EXPECT_EQ(firstCalls, 1);
    for (int fd : {first[0], first[1], second[0], second[1]}) ::close(fd);
}

TEST(RealRunLoopTest, BeforeWaitHooksRunBeforeSleepingAndWhatTheyPostKeepsTheLoopAwake) {
    auto loop = RunLoop::create(std::make_shared<RealClock>());
    std::vector<std::string> order;
    bool posted = false;
    auto hook = loop->addBeforeWaitHook([&] {
        order.push_back("hook");
        if (posted) return;
        posted = true;
        // Handed over just before the sleep: must run now, not after the hour-long wait.
        loop->post([&] {
            order.push_back("posted");
            loop->stop();
        });
    });
    loop->run();
    EXPECT_EQ(order, (std::vector<std::string>{"hook", "posted"}));
    hook.reset();
    loop->runOnce(0);
    EXPECT_EQ(order.size(), 2U);
}

}  // namespace
}  // namespace talvori

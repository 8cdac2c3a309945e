#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <vector>

#include "platform/core/RunLoop.hpp"
#include "platform/core/SignalWatch.hpp"

namespace talvori {
namespace {

bool isDefaultHandling(int signal) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

// A signal raised while the loop sleeps reaches the handler on the loop; a watch for once swallows
// the second one (its default action would end the test); the end of the watch brings the earlier
// handling back.
TEST(SignalWatchTest, SignalsReachTheLoopOnceOrAlwaysAndTheEarlierHandlingComesBack) {
    auto loop = RunLoop::create(std::make_shared<RealClock>());
    std::vector<int> arrived;
    {
        SignalWatch always(*loop, {SIGUSR1}, SignalWatch::Delivery::always,
                           [&](int signal) { arrived.push_back(signal); });
        SignalWatch once(*loop, {SIGUSR2}, SignalWatch::Delivery::once,
                         [&](int signal) { arrived.push_back(signal); });
        ASSERT_EQ(std::raise(SIGUSR1), 0);
        ASSERT_EQ(std::raise(SIGUSR2), 0);
        ASSERT_EQ(std::raise(SIGUSR2), 0);
        ASSERT_EQ(std::raise(SIGUSR1), 0);
        for (int turn = 0; turn < 10 && arrived.size() < 3; ++turn) loop->runOnce(0.5);
        ASSERT_EQ(std::raise(SIGUSR2), 0);
        loop->runOnce(0.05);
        std::sort(arrived.begin(), arrived.end());
        EXPECT_EQ(arrived, (std::vector<int>{SIGUSR1, SIGUSR1, SIGUSR2}));
        EXPECT_FALSE(isDefaultHandling(SIGUSR2));
    }
    EXPECT_TRUE(isDefaultHandling(SIGUSR1));
}

}  // namespace
}  // namespace talvori

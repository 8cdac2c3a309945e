#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// While quitting, a signal other than the one that started the quit ends the process with 0 once
// the quit lets it: one that came before (`early`) or after, also when no signal started the
// quit (`fromThePanel`); until then it is swallowed. In a child, which it ends.
enum class Later { early, after, fromThePanel };

class SignalWatchLaterSignalTest : public ::testing::TestWithParam<Later> {};

TEST_P(SignalWatchLaterSignalTest, ALaterSignalEndsTheProcessOnceTheQuitLetsIt) {
    const Later later = GetParam();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto loop = RunLoop::create(std::make_shared<RealClock>());
        int handled = 0;
        SignalWatch quit(*loop, {SIGTERM, SIGINT}, SignalWatch::Delivery::once,
                         [&](int) { ++handled; });
        if (later != Later::fromThePanel) std::raise(SIGTERM);
        loop->runOnce(0.1);
        if (later == Later::early) std::raise(SIGINT);
        if (handled != (later == Later::fromThePanel ? 0 : 1)) ::_exit(3);
        quit.letLaterSignalsEnd();
        if (later != Later::early) std::raise(SIGINT);
        // Still here: the later signal was swallowed.
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(Quits, SignalWatchLaterSignalTest,
                         ::testing::Values(Later::early, Later::after, Later::fromThePanel));

}  // namespace
}  // namespace talvori

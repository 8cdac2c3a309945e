#include <gtest/gtest.h>

#include "covers/PermissionManager.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

// A poll timer the test fires by hand.
class ManualTimer final : public PermissionPollTimer {
  public:
    explicit ManualTimer(std::function<void()> tick) : tick_(std::move(tick)) {}
    void invalidate() override { valid_ = false; }
    void fire() const {
        if (valid_) tick_();
    }
    bool isValid() const { return valid_; }

  private:
    std::function<void()> tick_;
    bool valid_ = true;
};

class PermissionManagerTest : public testing::PlatformTest {
  protected:
    bool trusted = false;
    int prompts = 0;
    int checks = 0;
    std::vector<std::shared_ptr<ManualTimer>> timers;
    std::function<void()> onMakeTimer;

    std::shared_ptr<PermissionManager> manualManager(
        PermissionManager::BeforeCancellation before = PermissionManager::noPreparation) {
        return PermissionManager::create(
            [this] {
                ++checks;
                return trusted;
            },
            [this] { ++prompts; },
            [this](std::function<void()> tick) {
                auto timer = std::make_shared<ManualTimer>(std::move(tick));
                timers.push_back(timer);
                if (onMakeTimer) onMakeTimer();
                return timer;
            },
            std::move(before));
    }
    std::shared_ptr<PermissionManager> timedManager() {
        return PermissionManager::create([this] { return trusted; }, [this] { ++prompts; },
                                         PermissionManager::scheduledPollTimer,
                                         PermissionManager::noPreparation);
    }
};

using Results = std::vector<bool>;

TEST_F(PermissionManagerTest, RequestAnswersAtOnceWhenTrustedAndOtherwisePromptsAndPolls) {
    auto manager = manualManager();
    Results results;
    trusted = true;
    manager->requestAccessibility([&](bool granted) { results.push_back(granted); });
    EXPECT_EQ(results, Results{true});
    EXPECT_EQ(prompts, 0);
    EXPECT_TRUE(timers.empty());

    trusted = false;
    manager->requestAccessibility([&](bool granted) { results.push_back(granted); });
    EXPECT_EQ(prompts, 1);
    ASSERT_EQ(timers.size(), 1u);
    for (int tick = 1; tick <= 4; ++tick) timers[0]->fire();
    trusted = true;
    timers[0]->fire();
    EXPECT_EQ(results, (Results{true, true}));
    EXPECT_FALSE(timers[0]->isValid());
    EXPECT_FALSE(manager->isPolling());
}

TEST_F(PermissionManagerTest, TheDefaultTimerPollsEveryHalfSecond) {
    auto manager = timedManager();
    std::optional<double> grantedAt;
    manager->pollForAccessibility([&](bool granted) {
        EXPECT_TRUE(granted);
        grantedAt = now();
    });
    loop().runAfter(2.4, [&] { trusted = true; });
    advance(2.499);
    EXPECT_FALSE(grantedAt);
    advance(0.001);
    EXPECT_EQ(grantedAt, 2.5);
    EXPECT_EQ(loop().pendingCount(), 0u) << "the timer is gone";
}

TEST_F(PermissionManagerTest, ARunThatNeverSeesTrustEndsWithFalseOnItsHundredAndTwentiethTick) {
    auto manager = timedManager();
    std::optional<double> refusedAt;
    manager->pollForAccessibility([&](bool granted) {
        EXPECT_FALSE(granted);
        refusedAt = now();
    });
    advance(59.999);
    EXPECT_FALSE(refusedAt);
    EXPECT_TRUE(manager->isPolling());
    advance(0.001);
    EXPECT_EQ(refusedAt, 60.0);
    EXPECT_FALSE(manager->isPolling());
    advance(10);
    EXPECT_EQ(loop().pendingCount(), 0u);
}

TEST_F(PermissionManagerTest, TheLimitCountsTicksNotTime) {
    auto manager = manualManager();
    Results results;
    manager->pollForAccessibility([&](bool granted) { results.push_back(granted); });
    for (int tick = 1; tick < 120; ++tick) timers[0]->fire();
    EXPECT_TRUE(results.empty());
    timers[0]->fire();
    EXPECT_EQ(results, Results{false});
    EXPECT_EQ(checks, 120);
}

TEST_F(PermissionManagerTest, ANewRunEndsTheEarlierOneWithFalseExactlyOnce) {
    auto manager = manualManager();
    Results first, second;
    const UUID firstID = manager->pollForAccessibility([&](bool g) { first.push_back(g); });
    timers[0]->fire();
    const UUID secondID = manager->pollForAccessibility([&](bool g) { second.push_back(g); });
    EXPECT_NE(firstID, secondID);
    EXPECT_EQ(first, Results{false});
    EXPECT_FALSE(timers[0]->isValid());

    manager->finishPoll(firstID, true);
    EXPECT_TRUE(second.empty()) << "a stale id is ignored";
    trusted = true;
    timers[1]->fire();
    EXPECT_EQ(first, Results{false});
    EXPECT_EQ(second, Results{true});
    manager->cancelPoll(false);
    EXPECT_EQ(second, Results{true});
}

TEST_F(PermissionManagerTest, TrustRequestsJoinTheRunningPollAndOutliveItsReplacement) {
    auto manager = manualManager();
    Results focus, coverA, coverB, later;
    const UUID focusRun = manager->pollForAccessibility([&](bool g) { focus.push_back(g); });
    manager->requestAccessibility([&](bool g) { coverA.push_back(g); });
    manager->requestAccessibility([&](bool g) { coverB.push_back(g); });
    EXPECT_EQ(prompts, 0) << "the running poll serves them";
    EXPECT_TRUE(focus.empty()) << "and is not ended by them";
    // The run's starter gives up; the joined requests still wait.
    manager->finishPoll(focusRun, false);
    EXPECT_EQ(focus, Results{false});
    EXPECT_TRUE(manager->isPolling());
    // A newer run takes them over instead of ending them.
    manager->pollForAccessibility([&](bool g) { later.push_back(g); });
    EXPECT_TRUE(coverA.empty());
    trusted = true;
    timers.back()->fire();
    EXPECT_EQ(coverA, Results{true});
    EXPECT_EQ(coverB, Results{true});
    EXPECT_EQ(later, Results{true});
    EXPECT_FALSE(manager->isPolling());
}

TEST_F(PermissionManagerTest, ACompletionThatStartsANewRunKeepsIt) {
    auto manager = manualManager();
    Results results;
    manager->pollForAccessibility([&](bool granted) {
        results.push_back(granted);
        manager->pollForAccessibility([&](bool again) { results.push_back(again); });
    });
    manager->cancelPoll(true);
    EXPECT_EQ(results, Results{true});
    EXPECT_TRUE(manager->isPolling());
    ASSERT_EQ(timers.size(), 2u);
    EXPECT_TRUE(timers[1]->isValid());
}

TEST_F(PermissionManagerTest, ARunStartedByTheCompletionANewRunEndsIsEndedInTurn) {
    auto manager = manualManager();
    Results first, restarted, newest;
    manager->pollForAccessibility([&](bool granted) {
        first.push_back(granted);
        if (first.size() == 1) {
            manager->pollForAccessibility([&](bool again) { restarted.push_back(again); });
        }
    });
    manager->pollForAccessibility([&](bool granted) { newest.push_back(granted); });
    EXPECT_EQ(first, Results{false});
    EXPECT_EQ(restarted, Results{false})
        << "the run started in between is earlier than the new one";
    ASSERT_EQ(timers.size(), 3u);
    EXPECT_FALSE(timers[1]->isValid()) << "its timer must not tick on for nothing";
    trusted = true;
    timers[2]->fire();
    EXPECT_EQ(newest, Results{true});
}

TEST_F(PermissionManagerTest, ARunEndedWhileItsTimerIsMadeGetsThatTimerInvalidated) {
    auto manager = manualManager();
    Results results;
    onMakeTimer = [&] { manager->cancelPoll(true); };
    manager->pollForAccessibility([&](bool granted) { results.push_back(granted); });
    EXPECT_EQ(results, Results{true});
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_FALSE(timers[0]->isValid());
    EXPECT_FALSE(manager->isPolling());
}

TEST_F(PermissionManagerTest, TicksOfAReleasedManagerDoNothing) {
    auto manager = manualManager();
    Results results;
    manager->pollForAccessibility([&](bool granted) { results.push_back(granted); });
    manager.reset();
    trusted = true;
    timers[0]->fire();
    EXPECT_TRUE(results.empty());
}

TEST_F(PermissionManagerTest, ReleasingAPollingManagerStopsItsTimer) {
    auto manager = timedManager();
    Results results;
    manager->pollForAccessibility([&](bool granted) { results.push_back(granted); });
    manager.reset();
    EXPECT_EQ(loop().pendingCount(), 0u);
    advance(61);
    EXPECT_TRUE(results.empty());
}

TEST_F(PermissionManagerTest, WaitingAnswersAtOnceWhenTrustedOrAlreadyCancelled) {
    auto manager = manualManager();
    std::vector<bool> results;
    trusted = true;
    (void)Task::start(
        loop(), [&]() -> Async { results.push_back(co_await manager->waitForAccessibility()); });
    runUntilIdle();
    trusted = false;
    auto cancelled = Task::start(
        loop(), [&]() -> Async { results.push_back(co_await manager->waitForAccessibility()); });
    cancelled.cancel();
    runUntilIdle();
    EXPECT_EQ(results, (Results{true, false}));
    EXPECT_EQ(prompts, 0);
    EXPECT_TRUE(timers.empty());
}

TEST_F(PermissionManagerTest, WaitingPromptsPollsAndReturnsTrueWhenTrustArrives) {
    auto manager = timedManager();
    std::optional<bool> result;
    auto task =
        Task::start(loop(), [&]() -> Async { result = co_await manager->waitForAccessibility(); });
    runUntilIdle();
    EXPECT_EQ(prompts, 1);
    EXPECT_TRUE(manager->isPolling());
    trusted = true;
    advance(0.5);
    EXPECT_EQ(result, true);
    task.cancel();
    runUntilIdle();
    EXPECT_EQ(result, true) << "a later cancellation changes nothing";
}

TEST_F(PermissionManagerTest, ACancelledWaitReturnsFalseOnlyAfterThePreparationHookCompletes) {
    std::function<void()> finishPreparation;
    auto manager = manualManager([&](std::function<void()> done) { finishPreparation = done; });
    std::optional<bool> result;
    auto task =
        Task::start(loop(), [&]() -> Async { result = co_await manager->waitForAccessibility(); });
    runUntilIdle();
    ASSERT_TRUE(manager->isPolling());
    task.cancel();
    runUntilIdle();
    ASSERT_TRUE(finishPreparation);
    EXPECT_FALSE(result);
    EXPECT_TRUE(manager->isPolling());
    finishPreparation();
    runUntilIdle();
    EXPECT_EQ(result, false);
    EXPECT_FALSE(manager->isPolling());
    EXPECT_FALSE(timers[0]->isValid());
}

TEST_F(PermissionManagerTest, ACancelledWaitLeavesARunThatReplacedItsOwnAlone) {
    auto manager = manualManager();
    std::optional<bool> waited;
    Results other;
    auto task =
        Task::start(loop(), [&]() -> Async { waited = co_await manager->waitForAccessibility(); });
    runUntilIdle();
    manager->pollForAccessibility([&](bool granted) { other.push_back(granted); });
    runUntilIdle();
    EXPECT_EQ(waited, false) << "replaced: its run heard false";
    task.cancel();
    runUntilIdle();
    EXPECT_TRUE(other.empty());
    EXPECT_TRUE(manager->isPolling());
}

// The program's instance, over the simulated desktop.
using SharedPermissionManagerTest = testing::SimDesktopTest;

TEST_F(SharedPermissionManagerTest, TheSharedManagerAsksTheDesktopAndPollsItsTrust) {
    simAccessibility().setTrusted(false);
    const auto& manager = PermissionManager::shared();
    EXPECT_EQ(&manager, &PermissionManager::shared());
    std::optional<double> grantedAt;
    manager->requestAccessibility([&](bool granted) {
        EXPECT_TRUE(granted);
        grantedAt = now();
    });
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    loop().runAfter(1.2, [&] { simAccessibility().setTrusted(true); });
    advance(1.499);
    EXPECT_FALSE(grantedAt);
    advance(0.001);
    EXPECT_EQ(grantedAt, 1.5);

    manager->requestAccessibility([&](bool granted) { EXPECT_TRUE(granted); });
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
}

TEST_F(SharedPermissionManagerTest, EachPlatformGetsItsOwnSharedManager) {
    auto first = PermissionManager::shared();
    first->pollForAccessibility([](bool) { FAIL() << "a replaced platform's run is never ended"; });
    Platform::install(sim::SimDesktop::makePlatform());
    EXPECT_NE(PermissionManager::shared(), first);
    EXPECT_FALSE(PermissionManager::shared()->isPolling());
}

TEST_F(SharedPermissionManagerTest, SettingsOpenAtTheFirstPageThatOpens) {
    auto& workspace = simWorkspace();
    const std::vector<std::string> both = {PermissionManager::accessibilitySettingsURL,
                                           PermissionManager::accessibilitySettingsFallbackURL};
    EXPECT_EQ(both[0],
              "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    EXPECT_EQ(both[1],
              "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?"
              "Privacy_Accessibility");

    PermissionManager::shared()->openAccessibilitySettings();
    EXPECT_EQ(workspace.openedURLs(), std::vector<std::string>{both[0]});
    workspace.setFailingURLs({both[0]});
    PermissionManager::shared()->openAccessibilitySettings();
    workspace.setOpenURLFails(true);
    PermissionManager::shared()->openAccessibilitySettings();
    EXPECT_EQ(workspace.openedURLs(),
              (std::vector<std::string>{both[0], both[0], both[1], both[0], both[1]}));
}

}  // namespace
}  // namespace talvori

#include "app/AppTest.hpp"
#include "app/FirstRunWindowPresenting.hpp"

namespace talvori::testing {
namespace {

class RuntimeCoordinatorTest : public AppTest {
  protected:
    RuntimeCoordinatorTest() { coordinator = RuntimeCoordinator::create(); }
    ~RuntimeCoordinatorTest() override { coordinator.reset(); }

    std::shared_ptr<Panel> makeWindow() const {
        return platform().application().makePanel(Rect(400, 300, 480, 320), StyleMask::titled);
    }
    std::size_t attentionRequests() const { return simApplication().attentionRequests().size(); }

    std::shared_ptr<RuntimeCoordinator> coordinator;
};

TEST_F(RuntimeCoordinatorTest, TheRuntimeIsMadeOnceAndTheAccessoryPolicyAppliedOnce) {
    const auto first = coordinator->startRuntime();
    const auto second = coordinator->startRuntime();
    EXPECT_EQ(first, second);
    EXPECT_EQ(coordinator->windowManager.peek(), first);
    EXPECT_EQ(simApplication().policyChanges(), std::vector{ActivationPolicy::accessory});
    EXPECT_EQ(simStatusBar().items().size(), 1u);
    coordinator->presentFirstRunWindow();
    EXPECT_TRUE(simApplication().openedScenes().empty()) << "the runtime already runs";
}

TEST_F(RuntimeCoordinatorTest, AWindowThatIsGoneIsNotPresentedAndAttentionIsAskedForOnce) {
    std::vector<double> sleeps;
    coordinator->attentionRecheckSleeper = [&](double seconds) {
        sleeps.push_back(seconds);
        return Task::sleep(seconds);
    };
    coordinator->applyActivationPolicy(ActivationPolicy::regular);
    auto window = makeWindow();
    coordinator->adoptFirstRunWindow(window);
    window->close();
    window.reset();
    EXPECT_FALSE(coordinator->windowPresenter->present());
    EXPECT_FALSE(coordinator->focusFirstRunWindow());
    EXPECT_TRUE(coordinator->hasPendingAttentionRecheck());
    coordinator->scheduleAttentionRecheck();
    advance(0.81);
    EXPECT_EQ(sleeps, std::vector{0.8}) << "one re-check at a time";
    EXPECT_EQ(attentionRequests(), 1u);
    EXPECT_FALSE(coordinator->hasPendingAttentionRecheck());
    coordinator->focusFirstRunWindow();
    advance(1);
    EXPECT_EQ(attentionRequests(), 1u) << "once per phase";

    // A new phase of the first-run window may ask again.
    coordinator->applyActivationPolicy(ActivationPolicy::accessory);
    coordinator->applyActivationPolicy(ActivationPolicy::regular);
    coordinator->focusFirstRunWindow();
    advance(1);
    EXPECT_EQ(attentionRequests(), 2u);
}

TEST_F(RuntimeCoordinatorTest, StartingTheRuntimeDuringTheWaitCancelsTheReCheck) {
    coordinator->applyActivationPolicy(ActivationPolicy::regular);
    coordinator->focusFirstRunWindow();
    advance(0.5);
    coordinator->startRuntime();
    EXPECT_FALSE(coordinator->hasPendingAttentionRecheck());
    advance(1);
    EXPECT_EQ(attentionRequests(), 0u);
    coordinator->scheduleAttentionRecheck();
    EXPECT_FALSE(coordinator->hasPendingAttentionRecheck()) << "only in the regular policy";
}

TEST_F(RuntimeCoordinatorTest, AKeyWindowInAnActiveApplicationNeedsNoAttention) {
    coordinator->applyActivationPolicy(ActivationPolicy::regular);
    auto window = makeWindow();
    coordinator->adoptFirstRunWindow(window);
    EXPECT_TRUE(coordinator->focusFirstRunWindow());
    EXPECT_TRUE(window->isKeyWindow());
    advance(1);
    EXPECT_EQ(attentionRequests(), 0u);
}

}  // namespace
}  // namespace talvori::testing

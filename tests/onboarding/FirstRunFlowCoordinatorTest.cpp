#include <gtest/gtest.h>

#include "onboarding/FirstRunFlowCoordinator.hpp"
#include "onboarding/FirstRunRuntimeStartEffect.hpp"
#include "session/GlobalShortcutHandling.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori::testing {
namespace {

using Log = std::vector<std::string>;

// The hot-key library and the runtime as the flow sees them, writing down what it asks of them.
struct World final : GlobalShortcutHandling, FirstRunRuntimeStartEffect {
    Log log;
    void onKeyDown(const GlobalShortcuts::Name&, std::function<void()>) override {}
    void enable(const std::vector<GlobalShortcuts::Name>&) override {}
    void disable(const std::vector<GlobalShortcuts::Name>& names) override {
        std::string entry = "disable";
        for (const auto& name : names) entry += " " + name.rawValue;
        log.push_back(entry);
    }
    void removeHandler(const GlobalShortcuts::Name&) override {}
    std::shared_ptr<WindowManager> runningWindowManager() const override { return nullptr; }
    std::int64_t startCount() const override { return 0; }
    void countStart() override { log.push_back("count"); }
    std::shared_ptr<WindowManager> startRuntime() override {
        log.push_back("start");
        return nullptr;
    }
};

class FirstRunFlowCoordinatorTest : public SimDesktopTest {
  protected:
    std::unique_ptr<FirstRunFlowCoordinator> flow(bool onboarded) {
        return std::make_unique<FirstRunFlowCoordinator>(
            FirstRunStep::welcome(), [onboarded] { return onboarded; }, world,
            PreRuntimeShortcutGate(world),
            [this](bool active) { world->log.push_back(active ? "active" : "inactive"); });
    }
    std::shared_ptr<World> world = std::make_shared<World>();
};

TEST_F(FirstRunFlowCoordinatorTest, TheFirstStartSwitchesAllSevenOffInOneCallAndOnlyOnce) {
    auto newUser = flow(false);
    newUser->startInitialFlow();
    newUser->startInitialFlow();
    EXPECT_EQ(world->log, (Log{"disable toggleFocus showPanel newCover strongerFocus weakerFocus "
                               "moreBlur lessBlur",
                               "active"}));
    world->log.clear();
    flow(true)->startInitialFlow();
    EXPECT_EQ(world->log, Log{"active"}) << "onboarded: nothing to switch off, still active";
}

TEST_F(FirstRunFlowCoordinatorTest, OnlyAFinishStepCompletesOnceStartingTheRuntimeFirst) {
    auto coordinator = flow(false);
    int changes = 0;
    const auto token = coordinator->step().observe([&] { ++changes; });
    const auto action = [&](const std::shared_ptr<WindowManager>&) {
        world->log.push_back("action");
    };
    coordinator->goTo(FirstRunStep::welcome());
    EXPECT_FALSE(coordinator->completeFlow(action));
    coordinator->goTo(FirstRunStep::permission());
    EXPECT_FALSE(coordinator->completeFlow(action));
    EXPECT_TRUE(world->log.empty()) << "no runtime before the finish page";

    coordinator->goTo(FirstRunStep::finish(FinishVariant::skipped));
    coordinator->goTo(FirstRunStep::finish(FinishVariant::skipped));
    coordinator->goTo(FirstRunStep::finish(FinishVariant::granted));
    EXPECT_EQ(changes, 3) << "only another step, or another finish variant, is a change";
    EXPECT_TRUE(coordinator->completeFlow(action));
    EXPECT_FALSE(coordinator->completeFlow(action));
    EXPECT_EQ(world->log, (Log{"count", "start", "inactive", "action"}));
    coordinator->goTo(FirstRunStep::welcome());
    EXPECT_EQ(coordinator->step().peek(), FirstRunStep::finish(FinishVariant::granted));
}

}  // namespace
}  // namespace talvori::testing

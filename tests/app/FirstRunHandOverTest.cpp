#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "onboarding/FirstRunView.hpp"
#include "platform/Platform.hpp"
#include "ui/UiTest.hpp"

namespace talvori::ui::testing {
namespace {

// The first-run window's pieces handing over to the real runtime.
class FirstRunPiecesTest : public UiTest {};

TEST_F(FirstRunPiecesTest, FinishingStoresTheSettingAndEndsTheFlowBeforeHandingOverTheRuntime) {
    reduceMotion_ = true;
    world().setAccessibilityTrusted(false);
    const auto runtime = RuntimeCoordinator::create();
    int handOvers = 0;
    std::optional<bool> storedAtHandOver;
    bool activeAtHandOver = true;
    auto window = host(FirstRunView{runtime, [&](const std::shared_ptr<WindowManager>& manager) {
                                        ++handOvers;
                                        storedAtHandOver = platform().userDefaults().boolValue(
                                            "hasCompletedOnboarding");
                                        activeAtHandOver = runtime->isFirstRunFlowActive.peek();
                                        EXPECT_EQ(manager, runtime->windowManager.peek());
                                    }});
    runUntilIdle();
    EXPECT_TRUE(runtime->isFirstRunFlowActive.peek());
    for (const char* label :
         {"Continue", "Skip for now", "Start using Talvori", "Start using Talvori"}) {
        window->find(Query::byLabel(label)).click();
        runUntilIdle();
    }
    EXPECT_EQ(handOvers, 1) << "a second press finds the flow complete";
    EXPECT_EQ(storedAtHandOver, true);
    EXPECT_FALSE(activeAtHandOver);
    EXPECT_EQ(runtime->startInvocationCount.peek(), 1);
}

}  // namespace
}  // namespace talvori::ui::testing

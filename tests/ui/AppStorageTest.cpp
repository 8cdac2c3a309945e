#include <gtest/gtest.h>

#include "UiTest.hpp"
#include "ui/AppStorage.hpp"

namespace talvori::ui::testing {
namespace {

// A first-run gate as the application's window reads it.
struct Gate {
    int* evaluations;
    bool operator==(const Gate&) const = default;

    struct State {
        AppStorage hasCompletedOnboarding{"hasCompletedOnboarding", false};
    };
    View body(ViewContext<State>& ctx) const {
        ++*evaluations;
        return Text(ctx.state.hasCompletedOnboarding() ? "Runtime" : "Welcome");
    }
};

class AppStorageTest : public UiTest {};

TEST_F(AppStorageTest, AViewReadingTheKeyIsEvaluatedAgainWhenAnyoneWritesIt) {
    int evaluations = 0;
    auto h = host(Gate{&evaluations});
    EXPECT_TRUE(h->find(Query::byText("Welcome")));
    platform().userDefaults().set("hasCompletedOnboarding", true);
    runUntilIdle();
    EXPECT_TRUE(h->find(Query::byText("Runtime")));
    EXPECT_EQ(evaluations, 2);
    // Another type under the key reads as the default.
    platform().userDefaults().set("hasCompletedOnboarding", "yes");
    runUntilIdle();
    EXPECT_TRUE(h->find(Query::byText("Welcome")));
    platform().userDefaults().set("launchAtLogin", true);
    runUntilIdle();
    EXPECT_EQ(evaluations, 3) << "other keys are not read";
}

TEST_F(AppStorageTest, TheBindingWritesTheStoreAndHearsOtherWriters) {
    AppStorage launchAtLogin("launchAtLogin", false);
    const Binding<bool> binding = launchAtLogin.binding();
    int heard = 0;
    auto token = binding.observe([&] { ++heard; });
    binding.set(true);
    EXPECT_EQ(platform().userDefaults().boolValue("launchAtLogin"), true);
    platform().userDefaults().removeObject("launchAtLogin");
    runUntilIdle();
    EXPECT_FALSE(binding.get());
    EXPECT_EQ(heard, 2);
}

}  // namespace
}  // namespace talvori::ui::testing

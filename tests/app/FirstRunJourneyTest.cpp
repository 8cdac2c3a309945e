#include "app/OnboardingTest.hpp"
#include "covers/PermissionManager.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "platform/desktop/ModifierFlags.hpp"

namespace talvori::testing {
namespace {

constexpr std::uint64_t kShiftCommand = ModifierFlags::shift | ModifierFlags::command;
constexpr std::uint16_t kF = 3;

class FirstRunJourneyTest : public OnboardingTest {
  protected:
    bool shortcutsAllOff() const { return globalOn() + focusOn() == 0; }
    std::string dotsLabel() const {
        return views().find(ui::Query::byLabel("Step 1 of 2"))   ? "Step 1 of 2"
               : views().find(ui::Query::byLabel("Step 2 of 2")) ? "Step 2 of 2"
                                                                 : "";
    }
    // The welcome page, with Focus's shortcut tried on the keyboard and "Continue" pressed.
    void throughWelcome() {
        ASSERT_TRUE(window());
        EXPECT_EQ(window()->frame().size, (Size{560, 500}));
        EXPECT_EQ(window()->appearance(), Appearance::dark);
        EXPECT_TRUE(text("Clear what matters"));
        EXPECT_EQ(dotsLabel(), "Step 1 of 2");
        EXPECT_EQ(key(kF, "f", kShiftCommand), sim::KeyDelivery::swallowed);
        EXPECT_TRUE(shortcutsAllOff());
        advance(0.2);
        picture("first-run-welcome");
        clickLabelled("Continue");
        settle();
        EXPECT_TRUE(text("Talvori is almost ready"));
        EXPECT_FALSE(text("Clear what matters"));
        EXPECT_EQ(dotsLabel(), "Step 2 of 2");
    }
    // "Start using Talvori" on the finish page: the window goes, the runtime runs with its status
    // item, and the coach mark is due 0.35 s later.
    // By a click, or by Return, which presses the page's main button.
    void finish(bool byReturn = false) {
        EXPECT_TRUE(shortcutsAllOff());
        EXPECT_FALSE(manager());
        if (byReturn) {
            EXPECT_EQ(key(kReturnKey, "\r"), sim::KeyDelivery::handled);
        } else {
            clickLabelled("Start using Talvori");
        }
        ASSERT_TRUE(manager());
        EXPECT_TRUE(defaults().boolValue("hasCompletedOnboarding").value_or(false));
        EXPECT_EQ(runtime().startInvocationCount.peek(), 1);
        EXPECT_FALSE(runtime().isFirstRunFlowActive.peek());
        EXPECT_FALSE(window());
        EXPECT_EQ(simStatusBar().items().size(), 1u);
        EXPECT_EQ(globalOn(), 3);
        EXPECT_EQ(focusOn(), 0);
        EXPECT_FALSE(manager()->coachMarkTask.isEmpty());
        advance(0.34);
        EXPECT_FALSE(manager()->coachMarkController().isShowing() || isMenuPanelOnScreen());
        advance(0.02);
        EXPECT_TRUE(manager()->coachMarkController().isShowing() || isMenuPanelOnScreen());
    }
};

TEST_F(FirstRunJourneyTest, TrustArrivingOnThePermissionPageLeadsToTheGrantedFinish) {
    world().setAccessibilityTrusted(false);
    startApp();
    throughWelcome();
    picture("first-run-permission");

    clickLabelled("Grant Accessibility");
    EXPECT_EQ(simWorkspace().openedURLs(),
              std::vector<std::string>{PermissionManager::accessibilitySettingsURL});
    EXPECT_TRUE(text("Waiting for your desktop\u2026"));
    advance(0.3);
    picture("first-run-permission-waiting");
    advance(14.7);
    EXPECT_TRUE(
        text("Switch is on but nothing changed? Your desktop granted another copy of Talvori. "
             "Quit it, open Talvori again from your applications menu, and the permission "
             "sticks."));
    advance(0.3);
    picture("first-run-permission-stuck");
    EXPECT_TRUE(shortcutsAllOff());

    world().setAccessibilityTrusted(true);
    advance(0.2);
    EXPECT_TRUE(labelled("Accessibility granted"));
    advance(0.3);
    picture("first-run-permission-granted");
    advance(0.49);
    EXPECT_TRUE(text("Talvori is almost ready")) << "the badge shows for 0.8 s";
    advance(0.02);
    // The picture of Focus dims 0.3 s after the page shows, over 0.56 s: before, halfway, done.
    using Frame = std::pair<double, std::string>;
    for (const auto& [wait, name] :
         {Frame{0.3, "0.30"}, Frame{0.28, "0.58"}, Frame{0.28, "0.86"}}) {
        advance(wait);
        picture("first-run-demo-" + name + "s");
    }
    settle();
    EXPECT_TRUE(text("Focus follows your window from here on."));
    EXPECT_TRUE(text("Talvori lives in your system tray."));
    EXPECT_EQ(dotsLabel(), "Step 2 of 2");
    picture("first-run-finish-granted");

    finish();
}

TEST_F(FirstRunJourneyTest, SkippingThePermissionFinishesWithoutItAndTheNextStartGoesStraightOn) {
    startApp();
    throughWelcome();

    clickLabelled("Skip for now");
    settle();
    EXPECT_TRUE(text("Covers are ready."));
    EXPECT_TRUE(labelled("Grant Accessibility to let Focus follow your window \u00BB"));
    EXPECT_TRUE(simWorkspace().openedURLs().empty()) << "skipping opens no settings";
    picture("first-run-finish-skipped");
    finish(true);

    // The program quits and starts again.
    app.reset();
    advance(1);
    const auto opened = simApplication().openedScenes().size();
    startApp();
    ASSERT_TRUE(manager());
    EXPECT_EQ(simApplication().openedScenes().size(), opened) << "no first-run window";
    EXPECT_EQ(globalOn(), 3);
}

}  // namespace
}  // namespace talvori::testing

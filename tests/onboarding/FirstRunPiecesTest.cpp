#include "covers/Palette.hpp"
#include "covers/PermissionManager.hpp"
#include "onboarding/AccessibilityGrantControl.hpp"
#include "onboarding/FirstRunDemoVisual.hpp"
#include "onboarding/FirstRunView.hpp"
#include "onboarding/OnboardingCTA.hpp"
#include "onboarding/StepBody.hpp"
#include "onboarding/StepDots.hpp"
#include "onboarding/StepHeadline.hpp"
#include "platform/Platform.hpp"
#include "ui/UiTest.hpp"

namespace talvori::ui::testing {
namespace {

constexpr const char* kStuckNote =
    "Switch is on but nothing changed? Your desktop granted another copy of Talvori. Quit it, "
    "open Talvori again from your applications menu, and the permission sticks.";
constexpr const char* kWaiting = "Waiting for your desktop\u2026";

class FirstRunPiecesTest : public UiTest {
  protected:
    // A grant control that counts its reports, pressed at the current time.
    std::shared_ptr<Host> pressedGrant(AccessibilityGrantControl::Style style) {
        auto control = host(AccessibilityGrantControl{style, [this] { ++grants; }});
        control
            ->find(Query::byLabel(style == AccessibilityGrantControl::Style::cta
                                      ? "Grant Accessibility"
                                      : "Grant Accessibility to let Focus follow your window "
                                        "\u00BB"))
            .click();
        runUntilIdle();
        return control;
    }
    int grants = 0;
};

TEST_F(FirstRunPiecesTest, DotsMarkTheCurrentPageAndNameItForScreenReaders) {
    auto dots = host(StepDots{1, 3});
    const auto circles = dots->findAll(Query::byLabel("Step 2 of 3"));
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_DOUBLE_EQ(dots->size().width, 6 + 8 + 8 + 8 + 6);
    EXPECT_DOUBLE_EQ(dots->size().height, 8);
    EXPECT_TRUE(close(pixel(*dots, {18, 4}), Palette::accent));
    EXPECT_EQ(host(StepDots{0, 0})->size(), (Size{0, 0}));
    EXPECT_EQ(StepDots({0, 0}).accessibilityText(), "Step 1 of 0");
    EXPECT_EQ(host(StepDots{0, -4})->size(), (Size{0, 0})) << "a negative count draws nothing";
    EXPECT_EQ(StepDots({0, -4}).accessibilityText(), "Step 1 of 0");
}

TEST_F(FirstRunPiecesTest, BodiesTakeTheirWholeWidthAndWrapWithExtraSpaceBetweenLines) {
    // Fixed metrics: 13-point text advances 7.8 a character, a line is 15.6 tall.
    auto shortBody = host(StepBody{"Hi", 100});
    EXPECT_DOUBLE_EQ(shortBody->size().width, 100);
    EXPECT_DOUBLE_EQ(shortBody->find(Query::byText("Hi")).frame().midX(), 50) << "centred";
    auto longBody = host(StepBody{"one two three four five six", 100});
    EXPECT_DOUBLE_EQ(longBody->size().width, 100);
    EXPECT_NEAR(longBody->size().height, 3 * 15.6 + 2 * 4, 1e-9) << "three lines, never cut";
    EXPECT_DOUBLE_EQ(host(StepHeadline{"Title"})->size().width, 5 * (23 * 0.6 - 0.23));
}

TEST_F(FirstRunPiecesTest, ADisabledCallToActionKeepsItsSizeLooksDimAndIgnoresPresses) {
    int presses = 0;
    const auto count = [&] { ++presses; };
    auto disabled = host(OnboardingCTA{"Go", true, true, count});
    EXPECT_EQ(disabled->size(), (Size{240, 40}));
    EXPECT_TRUE(close(pixel(*disabled, {6, 20}), Color::white(0.06)));
    disabled->root().click();
    disabled->press(Key::returnKey);
    auto surrounded = host(View(OnboardingCTA{"Around", false, true, count}).disabled());
    EXPECT_TRUE(close(pixel(*surrounded, {6, 20}), Color::white(0.06)));
    surrounded->root().click();
    surrounded->press(Key::returnKey);
    EXPECT_EQ(presses, 0);

    // It takes the focus as it appears: Return presses it.
    auto plain = host(OnboardingCTA{"Plain", false, false, count});
    runUntilIdle();
    EXPECT_TRUE(plain->press(Key::returnKey));
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(close(pixel(*plain, {6, 20}), Palette::accent));
    plain->root().mouseDown();
    runUntilIdle();
    EXPECT_TRUE(close(pixel(*plain, {6, 20}), Color::rgb255(217, 142, 43)));
    plain->root().mouseUp();
    EXPECT_EQ(presses, 2);
    host(OnboardingCTA{"Default", false, true, count})->press(Key::returnKey);
    EXPECT_EQ(presses, 3);
}

TEST_F(FirstRunPiecesTest,
       GrantAlreadyTrustedShowsAtOnceWithoutOpeningSettingsAndReportsAfterTheWait) {
    auto control = pressedGrant(AccessibilityGrantControl::Style::cta);
    EXPECT_TRUE(simWorkspace().openedURLs().empty()) << "no settings page to send the user to";
    EXPECT_FALSE(control->find(Query::byText(kWaiting)));
    const auto badge = control->find(Query::byLabel("Accessibility granted"));
    ASSERT_TRUE(badge);
    // The badge fades in where the button was, which is gone at once: the texts never overlap.
    advance(0.1);
    EXPECT_GT(badge.opacity(), 0);
    EXPECT_LT(badge.opacity(), 1);
    EXPECT_FALSE(control->find(Query::byText("Grant Accessibility")));
    const std::string spoken = control->accessibilityDump();
    EXPECT_EQ(spoken.find("\u2713 Granted"), std::string::npos);
    advance(0.69);
    EXPECT_EQ(grants, 0);
    advance(0.02);
    EXPECT_EQ(grants, 1);
    advance(10);
    EXPECT_EQ(grants, 1);
}

TEST_F(FirstRunPiecesTest, GrantGetsStuckAtTheThirtiethCheckUnlessTrustCameFirst) {
    world().setAccessibilityTrusted(false);
    auto early = pressedGrant(AccessibilityGrantControl::Style::cta);
    advance(14.49);
    world().setAccessibilityTrusted(true);
    advance(0.02);
    EXPECT_TRUE(early->find(Query::byLabel("Accessibility granted"))) << "the 29th check";
    advance(1);
    EXPECT_FALSE(early->find(Query::byText(kStuckNote)));
    EXPECT_EQ(grants, 1);

    world().setAccessibilityTrusted(false);
    auto late = pressedGrant(AccessibilityGrantControl::Style::cta);
    advance(14.99);
    EXPECT_FALSE(late->find(Query::byText(kStuckNote)));
    advance(0.02);
    const auto note = late->find(Query::byText(kStuckNote));
    ASSERT_TRUE(note) << "the 30th check";
    EXPECT_LT(late->find(Query::byText(kWaiting)).frame().maxY(), note.frame().minY());
    // Trust while stuck still ends in the grant, reported once.
    world().setAccessibilityTrusted(true);
    advance(0.5);
    EXPECT_TRUE(late->find(Query::byLabel("Accessibility granted")));
    EXPECT_FALSE(late->find(Query::byText(kWaiting))) << "gone as the badge begins to fade in";
    advance(5);
    EXPECT_EQ(grants, 2);
}

TEST_F(FirstRunPiecesTest, AGrantLinkTakenOffTheScreenDuringTheWaitReportsNothing) {
    reduceMotion_ = true;
    auto control = pressedGrant(AccessibilityGrantControl::Style::link);
    EXPECT_TRUE(control->find(Query::byLabel("Accessibility granted")));
    advance(0.7);
    control->setRootView(Text("Gone"));
    runUntilIdle();
    advance(2);
    EXPECT_EQ(grants, 0);
}

TEST_F(FirstRunPiecesTest, TheDemoDimsAMomentAfterItAppearsAndNeverForAScreenReader) {
    auto demo = host(FirstRunDemoVisual{FirstRunDemoPhase::dimmed});
    const auto background = demo->find(Query::byIdentifier("FirstRunDemoVisual.background0"));
    const auto focused = demo->find(Query::byIdentifier("FirstRunDemoVisual.focused"));
    EXPECT_EQ(demo->size(), (Size{360, 130}));
    advance(0.3);
    EXPECT_DOUBLE_EQ(background.opacity(), 1);
    EXPECT_TRUE(close(*focused.strokeColor(), Color::white(0.14)));
    advance(0.56);
    EXPECT_NEAR(background.opacity(), 0.35, 1e-6);
    EXPECT_TRUE(close(*focused.strokeColor(), Palette::accent.withAlpha(0.55)));
    // The glow rings the whole focused window (105, 12, 150 x 102), not only the corner where it
    // would stand unmoved.
    for (const Point beside : {Point{259, 30}, Point{180, 118}, Point{180, 8}}) {
        const Color glow = pixel(*demo, beside);
        EXPECT_GT(glow.alpha, 0.05) << beside.x << ", " << beside.y;
        EXPECT_TRUE(close(glow.withAlpha(1), Palette::accent, 0.1));
    }
    EXPECT_EQ(demo->accessibilityDump(), "");

    reduceMotion_ = true;
    auto immediate = host(FirstRunDemoVisual{FirstRunDemoPhase::dimmed});
    runUntilIdle();
    EXPECT_NEAR(immediate->find(Query::byIdentifier("FirstRunDemoVisual.background1")).opacity(),
                0.35, 1e-6);
}

}  // namespace
}  // namespace talvori::ui::testing

#include "app/OnboardingTest.hpp"
#include "onboarding/PermissionStep.hpp"
#include "platform/desktop/HotKeyModifiers.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "ui/UiTest.hpp"

namespace talvori::testing {
namespace {

using ui::testing::colorsClose;

constexpr std::uint64_t kShiftCommand = ModifierFlags::shift | ModifierFlags::command;
constexpr std::uint64_t kOptionCommand = ModifierFlags::option | ModifierFlags::command;
constexpr std::uint16_t kF = 3;
constexpr std::uint16_t kN = 45;
constexpr const char* kNote = "It'll work the moment you finish setup.";
const Color kInk = Color::rgb255(21, 24, 32);
const Color kIdleKeycap = Color{1, 1, 1, 0.8};

class FirstRunWindowTest : public OnboardingTest {
  protected:
    sim::KeyDelivery pressFocus() { return key(kF, "f", kShiftCommand); }
    Color keycapText(std::size_t index, const std::string& shown = "\u21E7\u2318F") const {
        const auto caps = views().findAll(ui::Query::byText(shown));
        return index < caps.size() ? *caps[index].foregroundColor() : Color::clear();
    }
    double noteOpacity() const { return text(kNote).opacity(); }
    std::string focused() const { return focusedIn(views().accessibilityElements()); }
};

TEST_F(FirstRunWindowTest, ATriedShortcutLightsItsChipUntil2Point4SecondsAfterTheLastPress) {
    startApp();
    EXPECT_TRUE(colorsClose(keycapText(0), kIdleKeycap));
    EXPECT_EQ(pressFocus(), sim::KeyDelivery::swallowed);
    advance(2);
    EXPECT_EQ(pressFocus(), sim::KeyDelivery::swallowed);
    advance(2.39);
    EXPECT_TRUE(colorsClose(keycapText(0), kInk));
    EXPECT_DOUBLE_EQ(noteOpacity(), 1);
    advance(0.02 + 0.3);
    EXPECT_TRUE(colorsClose(keycapText(0), kIdleKeycap));
    EXPECT_DOUBLE_EQ(noteOpacity(), 0);
    EXPECT_FALSE(manager()) << "a tried shortcut does nothing else";

    EXPECT_EQ(key(kN, "n", kOptionCommand), sim::KeyDelivery::swallowed);
    advance(0.2);
    EXPECT_TRUE(colorsClose(keycapText(0, "\u2325\u2318N"), kInk));
}

TEST_F(FirstRunWindowTest, FocusWinsASharedCombinationAndAClearedShortcutNeverLights) {
    ShortcutNames::newCover().setShortcut(ShortcutNames::toggleFocus().shortcut());
    startApp();
    pressFocus();
    advance(0.2);
    EXPECT_TRUE(colorsClose(keycapText(0), kInk)) << "Focus";
    EXPECT_TRUE(colorsClose(keycapText(1), kIdleKeycap)) << "Covers";

    ShortcutNames::toggleFocus().setShortcut(std::nullopt);
    EXPECT_EQ(pressFocus(), sim::KeyDelivery::swallowed);
    advance(0.2);
    EXPECT_TRUE(text("Not set"));
    EXPECT_TRUE(colorsClose(*text("Not set").foregroundColor(), kIdleKeycap));
    EXPECT_TRUE(colorsClose(keycapText(0), kInk)) << "now Covers, the only chip holding it";
}

// A combination the desktop holds is not offered to try.
TEST_F(FirstRunWindowTest, AShortcutTheDesktopHoldsShowsAsTaken) {
    simHotKeys().holdForOtherProgram({kF, HotKeyModifiers::shift | HotKeyModifiers::command});
    startApp();
    EXPECT_TRUE(text("Taken"));
    EXPECT_FALSE(text("\u21E7\u2318F"));
    EXPECT_TRUE(text("\u2325\u2318N"));
}

TEST_F(FirstRunWindowTest, PagesSlideAndUnderReduceMotionSwapAtOnce) {
    startApp();
    const Rect welcomeAt = text("Clear what matters").frame();
    pressFocus();
    clickLabelled("Continue");
    EXPECT_EQ(pressFocus(), sim::KeyDelivery::unhandled) << "the welcome page stopped listening";
    advance(0.1);
    const auto leaving = text("Clear what matters");
    const auto coming = text("Talvori is almost ready");
    ASSERT_TRUE(leaving && coming);
    EXPECT_LT(leaving.frame().minX(), welcomeAt.minX());
    EXPECT_LT(leaving.opacity(), 1);
    const double comingX = coming.frame().minX();
    settle();
    EXPECT_FALSE(text("Clear what matters"));
    EXPECT_GT(comingX, coming.frame().minX()) << "in from the trailing edge";

    clickLabelled("No screen content is captured, recorded, or transmitted \u00BB");
    settle();
    EXPECT_EQ(simWorkspace().openedURLs(),
              std::vector<std::string>{ui::PermissionStep::kPrivacyPage});
    EXPECT_TRUE(text("Talvori is almost ready")) << "the privacy page leaves the step as it was";

    simWorkspace().setReduceMotion(true);
    clickLabelled("Skip for now");
    EXPECT_FALSE(text("Talvori is almost ready"));
    EXPECT_DOUBLE_EQ(text("You're set").opacity(), 1);
}

// The window opens with "Continue" focused, and a keyboard user meets each following page at its
// own button, so that Return goes on from page to page.
TEST_F(FirstRunWindowTest, ReturnCarriesAKeyboardUserThroughEveryPage) {
    startApp();
    EXPECT_EQ(focused(), "Continue");
    EXPECT_EQ(key(kReturnKey, "\r"), sim::KeyDelivery::handled);
    settle();
    EXPECT_EQ(focused(), "Grant Accessibility") << "not the privacy link before it";
    EXPECT_EQ(key(kReturnKey, "\r"), sim::KeyDelivery::handled);
    advance(0.5 + 0.8);
    settle();
    EXPECT_EQ(focused(), "Start using Talvori");
    EXPECT_EQ(key(kReturnKey, "\r"), sim::KeyDelivery::handled);
    runUntilIdle();
    EXPECT_TRUE(manager()) << "the flow finished";
}

// Without a title bar the window is held by its background; what it shows still takes presses.
TEST_F(FirstRunWindowTest, DraggingTheBackgroundMovesTheWindowAndButtonsStillPress) {
    startApp();
    const Rect before = window()->frame();
    const Point background{before.minX() + 12, before.maxY() - 12};
    input().drag(background, {background.x + 90, background.y - 40});
    runUntilIdle();
    EXPECT_EQ(window()->frame(),
              Rect(before.minX() + 90, before.minY() - 40, before.width(), before.height()));

    const Rect moved = window()->frame();
    clickLabelled("Continue");
    settle();
    EXPECT_TRUE(text("Talvori is almost ready"));
    EXPECT_EQ(window()->frame(), moved);
}

TEST_F(FirstRunWindowTest, TheFinishPageTakesAGrantInPlaceAndARuntimeStartedEarlierIsKept) {
    world().setAccessibilityTrusted(false);
    startApp();
    clickLabelled("Continue");
    settle();
    runtime().startRuntime();
    const auto running = manager();
    settle();
    EXPECT_TRUE(text("Talvori is almost ready")) << "the same flow after the window's rebuild";
    clickLabelled("Skip for now");
    settle();

    const auto headline = text("You're set");
    world().setAccessibilityTrusted(true);
    clickLabelled("Grant Accessibility to let Focus follow your window \u00BB");
    advance(0.5 + 0.8);
    settle();
    EXPECT_TRUE(headline) << "the finish page stays; only its contents change";
    EXPECT_FALSE(text("Covers are ready."));
    EXPECT_TRUE(text("Talvori lives in your system tray."));
    EXPECT_NEAR(views().find(ui::Query::byIdentifier("FirstRunDemoVisual.background0")).opacity(),
                0.35, 1e-6);

    clickLabelled("Start using Talvori");
    EXPECT_EQ(runtime().startInvocationCount.peek(), 1);
    EXPECT_EQ(manager(), running);
    EXPECT_FALSE(window());
}

}  // namespace
}  // namespace talvori::testing

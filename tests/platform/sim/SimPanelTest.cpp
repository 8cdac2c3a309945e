#include <gtest/gtest.h>

#include "platform/desktop/WindowLevel.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class SimPanelTest : public SimDesktopTest {
  protected:
    std::int32_t editor = world().launchApplication("Editor");
    std::uint32_t e1 = world().openWindow(editor, "E1", {0, 0, 400, 400});
    std::uint32_t e2 = world().openWindow(editor, "E2", {0, 0, 400, 400});
    std::shared_ptr<Panel> panel = makePanel({10, 20, 300, 200});

    std::vector<std::string> observe(const char* name, std::vector<std::string>& seen) {
        tokens_.push_back(platform().notificationCenter().addObserver(
            name, panel.get(), NotificationDelivery::synchronous,
            [&seen, name, this](const Notification&) {
                const Rect frame = panel->frame();
                seen.push_back(std::string(name) + " " + std::to_string(frame.minX()) + "x" +
                               std::to_string(frame.width()));
            }));
        return seen;
    }

  private:
    std::vector<Registration> tokens_;
};

TEST_F(SimPanelTest, SettingTheFramePostsMoveAndResizeInsideTheSetter) {
    std::vector<std::string> seen;
    observe(Panel::kDidMoveNotification, seen);
    observe(Panel::kDidResizeNotification, seen);
    panel->setFrame({50, 20, 300, 200});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "WindowDidMove 50.000000x300.000000");
    panel->setFrame({50, 20, 320, 200});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], "WindowDidResize 50.000000x320.000000");
    panel->setFrame({50, 20, 320, 200});
    EXPECT_EQ(seen.size(), 2u) << "no change, no notice";
}

TEST_F(SimPanelTest, OrderedBelowAWindowItSitsDirectlyBehindIt) {
    panel->orderFront();
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::below, e1));
    EXPECT_EQ(world().stackIndex(panel->windowNumber()), world().stackIndex(e1) + 1);
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::above, e1));
    EXPECT_EQ(world().stackIndex(panel->windowNumber()) + 1, world().stackIndex(e1));
}

TEST_F(SimPanelTest, OrderingAgainstAMissingWindowChangesNothing) {
    panel->orderRelative(WindowOrderingMode::below, e2);
    const auto before = world().stack();
    world().closeWindow(e1);
    const auto afterClose = world().stack();
    EXPECT_FALSE(panel->orderRelative(WindowOrderingMode::below, e1));
    EXPECT_FALSE(panel->orderRelative(WindowOrderingMode::below, 0));
    EXPECT_FALSE(panel->orderRelative(WindowOrderingMode::below, panel->windowNumber()));
    world().setWindowOnScreen(e2, false);
    const auto hiddenStack = world().stack();
    EXPECT_FALSE(panel->orderRelative(WindowOrderingMode::above, e2));
    EXPECT_EQ(world().stack(), hiddenStack);
    EXPECT_NE(before, afterClose);
}

TEST_F(SimPanelTest, AgainstAnotherLevelThePanelKeepsItsLevelAtTheNearestEnd) {
    panel->setLevel(WindowLevel::floating);
    panel->orderFront();
    const auto menuBar = world().stack().front();
    // The menu bar is above the floating level: the panel goes to the front of its level.
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::below, menuBar));
    EXPECT_EQ(world().stackIndex(panel->windowNumber()), 1);
    // E2 is below it: the panel goes to the back of the floating level, still above E2.
    ASSERT_TRUE(panel->orderRelative(WindowOrderingMode::below, e2));
    EXPECT_LT(world().stackIndex(panel->windowNumber()), world().stackIndex(e2));
    EXPECT_EQ(panel->level(), WindowLevel::floating);
}

TEST_F(SimPanelTest, AlphaAnimationFollowsTheCurveAndCompletesOnce) {
    panel->setAlphaValue(0);
    int completions = 0;
    panel->animateAlphaValue(1, 0.25, AnimationCurve::easeOut, [&] { ++completions; });
    advance(0.125);
    // Ease-out is ahead of linear half-way.
    EXPECT_GT(panel->alphaValue(), 0.6);
    EXPECT_LT(panel->alphaValue(), 0.9);
    advance(0.125);
    EXPECT_EQ(panel->alphaValue(), 1.0);
    runUntilIdle();
    EXPECT_EQ(completions, 1);
    advance(1);
    EXPECT_EQ(completions, 1);
}

TEST_F(SimPanelTest, ASupersededAnimationStillCompletesAndTheNewOneStartsWhereItWas) {
    std::vector<std::string> completed;
    panel->setAlphaValue(0);
    panel->animateAlphaValue(1, 1.0, AnimationCurve::linear, [&] { completed.push_back("in"); });
    advance(0.5);
    panel->animateAlphaValue(0, 0.2, AnimationCurve::linear, [&] { completed.push_back("out"); });
    EXPECT_NEAR(panel->alphaValue(), 0.5, 1e-9);
    EXPECT_TRUE(completed.empty()) << "never inside the call that supersedes it";
    runUntilIdle();
    EXPECT_EQ(completed, (std::vector<std::string>{"in"}));
    advance(0.2);
    runUntilIdle();
    EXPECT_EQ(completed, (std::vector<std::string>{"in", "out"}));
    EXPECT_EQ(panel->alphaValue(), 0.0);
}

TEST_F(SimPanelTest, AnAnimationKeepsItsPanelAliveUntilItEnds) {
    std::weak_ptr<Panel> weak = panel;
    bool orderedOut = false;
    panel->orderFront();
    panel->animateAlphaValue(0, 0.2, AnimationCurve::easeOut, [weak, &orderedOut] {
        if (auto strong = weak.lock()) {
            strong->orderOut();
            orderedOut = true;
        }
    });
    panel.reset();
    EXPECT_FALSE(weak.expired());
    advance(0.2);
    runUntilIdle();
    EXPECT_TRUE(orderedOut);
    EXPECT_EQ(weak.use_count(), 0);
    EXPECT_TRUE(weak.expired());
}

TEST(SimPanelTeardownTest, APanelStillAnimatingWhenTheDesktopGoesAwayIsReleased) {
    std::weak_ptr<Panel> weak;
    Platform::install(Platform::makeVirtual());
    {
        auto desktop = sim::SimDesktop::install(platform(), {});
        auto panel =
            platform().application().makePanel({0, 0, 100, 100}, StyleMask::nonactivatingPanel);
        panel->orderFront();
        panel->animateAlphaValue(0, 10, AnimationCurve::easeOut, nullptr);
        panel->animateFrame({0, 0, 50, 50}, 10, AnimationCurve::linear, nullptr);
        weak = panel;
    }
    platform().virtualClock()->advance(1);
    ASSERT_FALSE(weak.expired()) << "a running animation keeps its panel";
    Platform::uninstall();
    EXPECT_TRUE(weak.expired());
}

TEST_F(SimPanelTest, FrameAnimationStepsTheFrameAndLandsOnTheTarget) {
    int moves = 0;
    auto token = platform().notificationCenter().addObserver(
        Panel::kDidMoveNotification, panel.get(), NotificationDelivery::synchronous,
        [&](const Notification&) { ++moves; });
    panel->animateFrame({110, 20, 300, 200}, 0.25, AnimationCurve::easeOut);
    advance(0.1);
    EXPECT_GT(panel->frame().minX(), 10);
    EXPECT_LT(panel->frame().minX(), 110);
    advance(0.15);
    EXPECT_EQ(panel->frame(), Rect(110, 20, 300, 200));
    EXPECT_GE(moves, 10) << "every frame moves the window";
}

TEST_F(SimPanelTest, LayerColourAnimationIsReadableOnScreenAndRemovable) {
    const Color from = Color::rgb255(21, 24, 32, 0.2);
    const Color to = Color::rgb255(21, 24, 32, 0.6);
    panel->setContentLayer({to, 0});
    EXPECT_FALSE(panel->presentationBackgroundColor()) << "not on screen yet";
    panel->orderFront();
    panel->addBackgroundColorAnimation("dimOpacity", from, to, 0.15, AnimationCurve::easeOut);
    EXPECT_EQ(panel->presentationBackgroundColor()->alpha, 0.2);
    advance(0.075);
    const double midway = panel->presentationBackgroundColor()->alpha;
    EXPECT_GT(midway, 0.4);
    EXPECT_LT(midway, 0.6);
    panel->removeLayerAnimation("dimOpacity");
    EXPECT_EQ(panel->presentationBackgroundColor(), to);
}

TEST_F(SimPanelTest, ANonActivatingPanelBecomesKeyWithoutActivatingUs) {
    world().activateApplication(editor);
    panel->setCanBecomeKey(true);
    panel->makeKeyAndOrderFront();
    EXPECT_TRUE(panel->isKeyWindow());
    runUntilIdle();
    EXPECT_FALSE(platform().application().isActive());
    EXPECT_EQ(platform().application().keyWindow(), panel);
    // Another application coming forward takes key status away.
    world().focusWindow(e1);
    EXPECT_FALSE(panel->isKeyWindow());
}

TEST_F(SimPanelTest, ABorderlessPanelBecomesKeyOnlyWhenAllowed) {
    EXPECT_FALSE(panel->canBecomeKey());
    EXPECT_FALSE(panel->canBecomeMain());
    panel->makeKeyAndOrderFront();
    EXPECT_FALSE(panel->isKeyWindow());
    EXPECT_TRUE(panel->isVisible());
    auto titled = platform().application().makePanel({0, 0, 10, 10}, StyleMask::titled);
    EXPECT_TRUE(titled->canBecomeKey());
    EXPECT_FALSE(titled->hidesOnDeactivate());
}

TEST_F(SimPanelTest, PanelsHideWhileWeAreInactiveUnlessToldOtherwise) {
    auto stays = makePanel({0, 0, 10, 10});
    stays->setHidesOnDeactivate(false);
    platform().application().activate();
    panel->orderFront();
    stays->orderFront();
    world().activateApplication(editor);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(stays->isVisible());
    platform().application().activate();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_LT(world().stackIndex(panel->windowNumber()), world().stackIndex(e2));
}

TEST_F(SimPanelTest, CloseAnnouncesItselfOrdersOutAndHappensOnce) {
    int willClose = 0;
    panel->setCanBecomeKey(true);
    auto token = platform().notificationCenter().addObserver(
        Panel::kWillCloseNotification, panel.get(), NotificationDelivery::synchronous,
        [&](const Notification&) { ++willClose; });
    panel->makeKeyAndOrderFront();
    panel->close();
    panel->close();
    EXPECT_EQ(willClose, 1);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(panel->isKeyWindow());
    panel->orderFront();
    EXPECT_FALSE(panel->isVisible()) << "a closed panel stays closed";
}

TEST_F(SimPanelTest, DroppingThePanelTakesItOffTheScreen) {
    panel->orderFront();
    const auto number = panel->windowNumber();
    panel.reset();
    EXPECT_EQ(world().window(number), nullptr);
    EXPECT_EQ(world().stackIndex(number), -1);
}

TEST_F(SimPanelTest, BlurIsRecordedOrRefusedWhereTheWindowServerHasNone) {
    EXPECT_TRUE(panel->setBackgroundBlurRadius(12));
    EXPECT_EQ(panel->backgroundBlurRadius(), 12);
    world().setBackgroundBlurAvailable(false);
    EXPECT_FALSE(panel->setBackgroundBlurRadius(1));
    EXPECT_EQ(panel->backgroundBlurRadius(), 12);
}

TEST_F(SimPanelTest, ANegativeBlurRadiusMeansNoBlur) {
    EXPECT_TRUE(panel->setBackgroundBlurRadius(-5));
    EXPECT_EQ(panel->backgroundBlurRadius(), 0);
}

}  // namespace
}  // namespace talvori

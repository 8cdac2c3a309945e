#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "focus/SpotlightPanelManager.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

class SpotlightPanelManagerTest : public testing::SimDesktopTest {
  protected:
    SpotlightPanelManagerTest() {
        editor = world().launchApplication("Editor");
        // Front to back: a, b, c, d.
        d = world().openWindow(editor, "D", Rect(400, 100, 300, 300));
        c = world().openWindow(editor, "C", Rect(300, 100, 300, 300));
        b = world().openWindow(editor, "B", Rect(200, 100, 300, 300));
        a = world().openWindow(editor, "A", Rect(100, 100, 300, 300));
        manager = SpotlightPanelManager::create();
    }
    // A window animation still running when the simulated desktop goes away would keep its
    // window alive; let them all end.
    ~SpotlightPanelManagerTest() override { advance(1); }

    Screen screen() const { return world().screens().front(); }
    int indexOf(std::uint32_t number) const {
        const auto list = windowNumbersFrontToBack();
        const auto found = std::find(list.begin(), list.end(), number);
        return found == list.end() ? -1 : static_cast<int>(found - list.begin());
    }
    // The panel is directly below `window` in the window list.
    bool isDirectlyBelow(const std::shared_ptr<Panel>& panel, std::uint32_t window) const {
        const int at = indexOf(window);
        return at >= 0 && indexOf(panel->windowNumber()) == at + 1;
    }
    std::shared_ptr<Panel> showPanel(double opacity = 0.5) {
        manager->show(world().screens(), opacity);
        auto panel = manager->overlayPanel();
        advance(SpotlightPanelManager::kFadeInDuration);
        manager->orderBelow(a);
        return panel;
    }
    static Color tint(double alpha) { return SpotlightPanelManager::dimColor().withAlpha(alpha); }

    std::int32_t editor = 0;
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
    std::shared_ptr<SpotlightPanelManager> manager;
};

TEST_F(SpotlightPanelManagerTest, ShowBuildsAClickThroughPanelOverTheScreenInFront) {
    manager->show(world().screens(), 0.4);
    const auto panel = manager->overlayPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->frame(), screen().frame);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_LT(indexOf(panel->windowNumber()), indexOf(a));
    EXPECT_EQ(panel->alphaValue(), 0.0);
    EXPECT_EQ(panel->styleMask(), StyleMask::nonactivatingPanel);
    EXPECT_EQ(panel->level(), 0);
    EXPECT_TRUE(panel->ignoresMouseEvents());
    EXPECT_FALSE(panel->isOpaque());
    EXPECT_EQ(panel->backgroundColor(), Color::clear());
    EXPECT_FALSE(panel->hasShadow());
    EXPECT_FALSE(panel->hidesOnDeactivate());
    EXPECT_FALSE(panel->isRestorable());
    EXPECT_EQ(panel->animationBehavior(), 2);
    EXPECT_EQ(panel->collectionBehavior(), 337u);
    EXPECT_EQ(panel->contentLayer().backgroundColor, tint(0.4));
    EXPECT_EQ(panel->backgroundBlurRadius(), 1);
}

TEST_F(SpotlightPanelManagerTest, FadesInOverAQuarterSecondFromTheNextTurnEvenUnderReduceMotion) {
    simWorkspace().setReduceMotion(true);
    manager->show(world().screens(), 0.5);
    const auto panel = manager->overlayPanel();
    runUntilIdle();
    advance(0.125);
    EXPECT_GT(panel->alphaValue(), 0.5);  // ease-out is past half way at half time
    EXPECT_LT(panel->alphaValue(), 1.0);
    advance(0.124);
    EXPECT_LT(panel->alphaValue(), 1.0);
    advance(0.001);
    EXPECT_EQ(panel->alphaValue(), 1.0);
}

TEST_F(SpotlightPanelManagerTest, ASecondShowChangesNothingNotEvenTheOpacity) {
    manager->show(world().screens(), 0.4);
    const auto panel = manager->overlayPanel();
    manager->show(world().screens(), 0.9);
    EXPECT_EQ(manager->overlayPanel(), panel);
    EXPECT_EQ(manager->dimOpacity(), 0.4);
    EXPECT_EQ(panel->contentLayer().backgroundColor, tint(0.4));
}

TEST_F(SpotlightPanelManagerTest, HideBeforeTheFadeInLeavesNothingBehind) {
    manager->show(world().screens(), 0.5);
    const auto panel = manager->overlayPanel();
    manager->hide(true);
    EXPECT_FALSE(manager->overlayPanel());
    advance(1);
    EXPECT_EQ(panel->alphaValue(), 0.0);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(SpotlightPanelManagerTest, HideFadesOutOverAFifthOfASecondThenOrdersOut) {
    const auto panel = showPanel();
    manager->hide(true);
    EXPECT_FALSE(manager->overlayPanel());
    advance(0.1);
    EXPECT_GT(panel->alphaValue(), 0.0);
    EXPECT_LT(panel->alphaValue(), 0.5);
    EXPECT_TRUE(panel->isVisible());
    advance(0.1);
    runUntilIdle();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(SpotlightPanelManagerTest, HideIsImmediateWhenNotAnimatedOrUnderReduceMotion) {
    auto panel = showPanel();
    manager->hide(false);
    EXPECT_FALSE(panel->isVisible());

    panel = showPanel();
    simWorkspace().setReduceMotion(true);
    manager->hide(true);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(SpotlightPanelManagerTest, ANewShowDuringTheFadeOutMakesASecondPanel) {
    const auto old = showPanel();
    manager->hide(true);
    manager->show(world().screens(), 0.5);
    const auto fresh = manager->overlayPanel();
    ASSERT_NE(fresh, old);
    EXPECT_TRUE(old->isVisible());
    EXPECT_TRUE(fresh->isVisible());
    advance(0.25);
    EXPECT_FALSE(old->isVisible());
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(fresh->alphaValue(), 1.0);
}

TEST_F(SpotlightPanelManagerTest, BlurIsOneInDimAndTheTruncatedRadiusInGlass) {
    const auto panel = showPanel();
    const struct {
        SpotlightEffect effect;
        double radius;
        int sent;
    } cases[] = {
        {SpotlightEffect::dim, 20.7, 1},
        {SpotlightEffect::glass, 20.7, 20},
        {SpotlightEffect::glass, 0, 0},
        {SpotlightEffect::glass, 1e10, std::numeric_limits<std::int32_t>::max()},
        {SpotlightEffect::glass, -7, 0},
        {SpotlightEffect::glass, std::nan(""), 0},
    };
    for (const auto& c : cases) {
        manager->animateAppearance(c.effect, 0.5, c.radius, false);
        EXPECT_EQ(panel->backgroundBlurRadius(), c.sent) << c.radius;
    }
}

TEST_F(SpotlightPanelManagerTest, AppearanceWithoutAPanelIsKeptForTheNextShow) {
    manager->animateAppearance(SpotlightEffect::glass, 0.8, 30, true);
    EXPECT_EQ(manager->currentEffect(), SpotlightEffect::glass);
    EXPECT_EQ(manager->blurRadius(), 30);
    manager->show(world().screens(), 0.3);
    const auto panel = manager->overlayPanel();
    EXPECT_EQ(panel->backgroundBlurRadius(), 30);
    EXPECT_EQ(panel->contentLayer().backgroundColor, tint(0.3));
}

TEST_F(SpotlightPanelManagerTest, TheTintAnimatesFromTheColourOnScreen) {
    const auto panel = showPanel(0.5);
    manager->animateAppearance(SpotlightEffect::dim, 0.9, 0, true);
    EXPECT_EQ(panel->contentLayer().backgroundColor, tint(0.9));
    EXPECT_EQ(panel->presentationBackgroundColor()->alpha, 0.5);
    advance(0.075);
    const double halfway = panel->presentationBackgroundColor()->alpha;
    EXPECT_GT(halfway, 0.7);
    EXPECT_LT(halfway, 0.9);

    // A second change starts where the first one is on screen, not from its target.
    manager->animateAppearance(SpotlightEffect::dim, 0.1, 0, true);
    EXPECT_NEAR(panel->presentationBackgroundColor()->alpha, halfway, 1e-9);
    advance(0.15);
    EXPECT_EQ(panel->presentationBackgroundColor(), tint(0.1));
}

TEST_F(SpotlightPanelManagerTest, TheTintChangesAtOnceWhenNotAnimatedOrUnderReduceMotion) {
    const auto panel = showPanel(0.5);
    manager->animateAppearance(SpotlightEffect::dim, 0.9, 0, false);
    EXPECT_EQ(panel->presentationBackgroundColor(), tint(0.9));
    simWorkspace().setReduceMotion(true);
    manager->animateAppearance(SpotlightEffect::dim, 0.2, 0, true);
    EXPECT_EQ(panel->presentationBackgroundColor(), tint(0.2));
}

class TransientFadeTest : public SpotlightPanelManagerTest {
  protected:
    TransientFadeTest() {
        panel = showPanel(0.6);
        manager->setFadeDuration(0.2);
    }
    std::vector<TransientWindow> transients(std::initializer_list<std::uint32_t> ids) const {
        std::vector<TransientWindow> list;
        for (auto id : ids) {
            const auto* window = world().window(id);
            list.push_back({id, window ? world().frameOf(*window) : Rect(0, 0, 50, 50)});
        }
        return list;
    }
    std::shared_ptr<Panel> panel;
};

TEST_F(TransientFadeTest, SmallPanelsFadeInAboveTheWindowsThenTheBigPanelMoves) {
    // Focus moves from a to c: a and b are about to fall below the panel.
    manager->beginTransientFade(c, transients({a, b, 0, c}));
    const auto smalls = manager->fadePanels();
    ASSERT_EQ(smalls.size(), 2u);
    EXPECT_EQ(manager->fadeTarget(), c);
    EXPECT_EQ(manager->fadeGeneration(), 1u);
    EXPECT_EQ(indexOf(smalls[0]->windowNumber()) + 1, indexOf(a));
    EXPECT_EQ(indexOf(smalls[1]->windowNumber()) + 1, indexOf(b));
    EXPECT_EQ(smalls[0]->frame(), world().frameOf(*world().window(a)));
    EXPECT_EQ(smalls[0]->contentLayer(), (ContentLayer{tint(0.6), 10}));
    EXPECT_TRUE(smalls[0]->ignoresMouseEvents());
    EXPECT_EQ(smalls[0]->alphaValue(), 0.0);
    EXPECT_TRUE(isDirectlyBelow(panel, a));

    advance(0.1);
    EXPECT_GT(smalls[1]->alphaValue(), 0.0);
    EXPECT_TRUE(isDirectlyBelow(panel, a));
    advance(0.1);
    runUntilIdle();
    EXPECT_TRUE(isDirectlyBelow(panel, c));
    EXPECT_FALSE(manager->fadeTarget());
    EXPECT_FALSE(smalls[0]->isVisible());
    EXPECT_FALSE(smalls[1]->isVisible());
}

TEST_F(TransientFadeTest, NoFadeInGlassUnderReduceMotionOrWithNothingToCover) {
    manager->beginTransientFade(c, transients({0, c}));
    EXPECT_TRUE(isDirectlyBelow(panel, c));
    EXPECT_FALSE(manager->fadeTarget());

    simWorkspace().setReduceMotion(true);
    manager->beginTransientFade(b, transients({a}));
    EXPECT_TRUE(isDirectlyBelow(panel, b));
    simWorkspace().setReduceMotion(false);

    manager->animateAppearance(SpotlightEffect::glass, 0.6, 10, false);
    manager->beginTransientFade(d, transients({a, b, c}));
    EXPECT_TRUE(isDirectlyBelow(panel, d));
    EXPECT_EQ(manager->fadeGeneration(), 0u);
}

// Most X11 desktops blur nothing behind a window: Glass must still visibly dim, fading as Dim does,
// and take its own look once the desktop starts blurring.
TEST_F(TransientFadeTest, GlassWithoutTheDesktopsBlurDimsAsDimDoes) {
    world().setBackgroundBlurAvailable(false);
    manager->animateAppearance(SpotlightEffect::glass, 0, 20, false);
    EXPECT_EQ(manager->shownEffect(), SpotlightEffect::dim);
    EXPECT_EQ(panel->contentLayer().backgroundColor, tint(0.1));
    manager->animateAppearance(SpotlightEffect::glass, 0.7, 20, false);
    EXPECT_EQ(panel->contentLayer().backgroundColor, tint(0.7));

    manager->beginTransientFade(c, transients({a, b}));
    ASSERT_EQ(manager->fadePanels().size(), 2u);
    EXPECT_EQ(manager->fadePanels()[0]->contentLayer().backgroundColor, tint(0.7));
    advance(0.2);
    runUntilIdle();
    EXPECT_TRUE(isDirectlyBelow(panel, c));

    world().setBackgroundBlurAvailable(true);
    EXPECT_EQ(manager->shownEffect(), SpotlightEffect::glass);
    EXPECT_EQ(panel->backgroundBlurRadius(), 20);
    manager->beginTransientFade(a, transients({c}));
    EXPECT_FALSE(manager->fadeTarget());
}

TEST_F(TransientFadeTest, ASecondFadeCommitsTheFirstAndItsLateCompletionDoesNothing) {
    manager->beginTransientFade(b, transients({a}));
    const auto first = manager->fadePanels();
    advance(0.1);
    manager->beginTransientFade(d, transients({b, c}));
    EXPECT_TRUE(isDirectlyBelow(panel, b));
    // The first fade's small panel left a: the second took it over b.
    ASSERT_EQ(manager->fadePanels().size(), 2u);
    EXPECT_EQ(manager->fadePanels()[0], first[0]);
    EXPECT_EQ(indexOf(first[0]->windowNumber()) + 1, indexOf(b));
    EXPECT_EQ(manager->fadeTarget(), d);
    EXPECT_EQ(manager->fadeGeneration(), 2u);

    advance(0.1);  // the first fade's completion comes and goes
    runUntilIdle();
    EXPECT_EQ(manager->fadeTarget(), d);
    EXPECT_TRUE(isDirectlyBelow(panel, b));
    advance(0.1);
    runUntilIdle();
    EXPECT_TRUE(isDirectlyBelow(panel, d));
}

// Switch after switch the same few small panels serve, out of sight in between; a fade over
// more windows makes what it needs and keeps no more than the few afterwards.
TEST_F(TransientFadeTest, FadesReuseAFewSmallPanelsHoweverManyCome) {
    std::set<const Panel*> used;
    for (int fade = 0; fade < 20; ++fade) {
        manager->beginTransientFade(fade % 2 ? c : d, transients({a, b}));
        for (const auto& small : manager->fadePanels()) used.insert(small.get());
    }
    EXPECT_EQ(used.size(), 2u);
    manager->beginTransientFade(a, transients({b, c, d, 901, 902}));
    std::vector<std::weak_ptr<Panel>> wide;
    for (const auto& small : manager->fadePanels()) wide.push_back(small);
    ASSERT_EQ(wide.size(), 5u);
    manager->beginTransientFade(b, transients({c, d, 901, 902, 903}));
    manager->finishFade(true);
    runUntilIdle();
    const auto alive =
        std::count_if(wide.begin(), wide.end(), [](auto& weak) { return !weak.expired(); });
    EXPECT_LE(alive, static_cast<long>(SpotlightPanelManager::kKeptSmallPanels));
    for (const auto& weak : wide) {
        if (auto small = weak.lock()) {
            EXPECT_FALSE(small->isVisible());
        }
    }
}

TEST_F(TransientFadeTest, OrderBelowTheFadesTargetLetsItRunAnotherWindowEndsIt) {
    manager->beginTransientFade(c, transients({a, b}));
    manager->orderBelow(c);
    EXPECT_EQ(manager->fadeTarget(), c);
    EXPECT_TRUE(isDirectlyBelow(panel, a));

    const auto smalls = manager->fadePanels();
    manager->orderBelow(b);
    EXPECT_FALSE(manager->fadeTarget());
    EXPECT_TRUE(isDirectlyBelow(panel, b));
    EXPECT_FALSE(smalls[0]->isVisible());
    advance(1);
    EXPECT_TRUE(isDirectlyBelow(panel, b));
}

TEST_F(TransientFadeTest, SnapBelowAlwaysEndsTheFadeUncommitted) {
    manager->beginTransientFade(c, transients({a, b}));
    manager->snapBelow(c);
    EXPECT_FALSE(manager->fadeTarget());
    EXPECT_TRUE(isDirectlyBelow(panel, c));
}

TEST_F(TransientFadeTest, AnAppearanceChangeCommitsTheFade) {
    manager->beginTransientFade(c, transients({a, b}));
    manager->animateAppearance(SpotlightEffect::dim, 0.7, 0, true);
    EXPECT_FALSE(manager->fadeTarget());
    EXPECT_TRUE(isDirectlyBelow(panel, c));
}

TEST_F(TransientFadeTest, HideEndsTheFadeUncommittedAndOrdersOutItsPanels) {
    manager->beginTransientFade(c, transients({a, b}));
    const auto smalls = manager->fadePanels();
    manager->hide(false);
    EXPECT_FALSE(manager->fadeTarget());
    EXPECT_FALSE(smalls[0]->isVisible());
    EXPECT_FALSE(panel->isVisible());
    // Without a panel nothing starts, and ordering does nothing.
    manager->beginTransientFade(c, transients({a, b}));
    EXPECT_FALSE(manager->fadeTarget());
    manager->orderBelow(c);
    manager->snapBelow(c);
}

TEST_F(TransientFadeTest, WindowNumberZeroIsIgnored) {
    manager->beginTransientFade(0, transients({a, b}));
    EXPECT_FALSE(manager->fadeTarget());
    manager->orderBelow(0);
    manager->snapBelow(0);
    EXPECT_TRUE(isDirectlyBelow(panel, a));
}

}  // namespace
}  // namespace talvori

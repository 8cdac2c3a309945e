#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using AnimationTest = UiTest;

TEST(AnimationCurveTest, CurvesRunFromZeroToOne) {
    const auto easeOut = Animation::easeOut(0.2);
    EXPECT_EQ(easeOut.progress(0), 0);
    EXPECT_EQ(easeOut.progress(0.2), 1);
    EXPECT_GT(easeOut.progress(0.1), 0.6);  // fast start, slow end
    EXPECT_LT(Animation::easeIn(0.2).progress(0.1), 0.4);
    EXPECT_NEAR(Animation::easeInOut(0.2).progress(0.1), 0.5, 1e-6);
    EXPECT_NEAR(Animation::linear(8).progress(2), 0.25, 1e-12);
    EXPECT_EQ(Animation::linear(1).delay(0.5).progress(0.4), 0);
    EXPECT_NEAR(Animation::linear(1).delay(0.5).progress(1.0), 0.5, 1e-12);
}

struct Box {
    Observable<double>* opacity;
    Observable<double>* width;
    Observable<Color>* color;
    View body(ViewContext<NoState>&) const {
        return Rectangle()
            .fill((*color)())
            .frame((*width)(), 10)
            .opacity((*opacity)())
            .accessibilityIdentifier("box");
    }
};

class BoxTest : public AnimationTest {
  protected:
    Observable<double> opacity{1};
    Observable<double> width{100};
    Observable<Color> color{Color::white()};
    std::shared_ptr<Host> h = host(Box{&opacity, &width, &color});
    NodeRef box = h->find(Query::byIdentifier("box"));
};

TEST_F(BoxTest, WithAnimationInterpolatesOpacityFramesAndColoursOnTheClock) {
    withAnimation(Animation::easeOut(0.2), [&] {
        opacity.set(0);
        width.set(200);
        color.set(Color::black());
    });
    runUntilIdle();
    EXPECT_DOUBLE_EQ(box.opacity(), 1);
    advance(0.1);
    const double progress = Animation::easeOut(0.2).progress(0.1);
    EXPECT_NEAR(box.opacity(), 1 - progress, 1e-9);
    EXPECT_NEAR(box.frame().width(), 100 + 100 * progress, 1e-6);
    EXPECT_NEAR(box.fillColor()->red, 1 - progress, 1e-9);
    advance(0.1);
    EXPECT_DOUBLE_EQ(box.opacity(), 0);
    EXPECT_DOUBLE_EQ(box.frame().width(), 200);
    EXPECT_EQ(box.fillColor(), Color::black());
}

// A reader asks where things are after each change it is told of: that includes every frame of
// a move and the place where it ends.
TEST_F(BoxTest, ReadersAreToldOfEveryFrameOfAMoveAndWhereItEnds) {
    double told = 0;
    h->onAccessibilityChange = [&] {
        const auto elements = h->accessibilityElements();
        if (!elements.empty()) told = elements.front().frame.width();
    };
    withAnimation(Animation::linear(0.2), [&] { width.set(200); });
    runUntilIdle();
    advance(0.1);
    // At most a frame (a sixtieth of a second, a twelfth of this move) behind.
    EXPECT_NEAR(told, 150, 100.0 / 12 + 1e-3);
    advance(0.2);
    EXPECT_EQ(told, 200);
}

TEST_F(BoxTest, ANewTargetStartsFromWhatIsShown) {
    withAnimation(Animation::linear(1), [&] { width.set(200); });
    runUntilIdle();
    advance(0.5);
    withAnimation(Animation::linear(1), [&] { width.set(100); });
    runUntilIdle();
    EXPECT_NEAR(box.frame().width(), 150, 1e-6);
    advance(0.5);
    EXPECT_NEAR(box.frame().width(), 125, 1e-6);
}

TEST_F(BoxTest, ChangesOutsideATransactionHappenAtOnce) {
    width.set(300);
    runUntilIdle();
    EXPECT_EQ(box.frame().width(), 300);
    withAnimation(std::nullopt, [&] { width.set(50); });
    runUntilIdle();
    EXPECT_EQ(box.frame().width(), 50);
}

TEST_F(BoxTest, ReduceMotionGivesNoAnimation) {
    reduceMotion_ = true;
    withAnimation(h->rootEnvironment()->animation(Animation::easeOut(0.3)), [&] { width.set(10); });
    runUntilIdle();
    EXPECT_EQ(box.frame().width(), 10);
    // Read when the animation is made: turning it off takes effect with the next one.
    reduceMotion_ = false;
    withAnimation(h->rootEnvironment()->animation(Animation::easeOut(0.3)), [&] { width.set(20); });
    runUntilIdle();
    EXPECT_EQ(box.frame().width(), 10);
}

struct Thumb {
    Observable<bool>* hovering;
    Observable<int>* other;
    View body(ViewContext<NoState>&) const {
        return Circle()
            .frame((*hovering)() ? 16 : 14, (*hovering)() ? 16 : 14)
            .accessibilityIdentifier("thumb")
            .animation(Animation::easeOut(0.1), (*hovering)())
            .overlay(Text(std::to_string((*other)())));
    }
};

TEST_F(AnimationTest, AnimationTiedToAValueAnimatesOnlyWhenItChanges) {
    Observable<bool> hovering{false};
    Observable<int> other{0};
    auto h = host(Thumb{&hovering, &other});
    const auto thumb = h->find(Query::byIdentifier("thumb"));
    hovering.set(true);
    runUntilIdle();
    advance(0.05);
    EXPECT_GT(thumb.frame().width(), 14);
    EXPECT_LT(thumb.frame().width(), 16);
    advance(0.05);
    EXPECT_EQ(thumb.frame().width(), 16);

    // Silenced by a transaction that disables animations.
    withoutAnimation([&] { hovering.set(false); });
    runUntilIdle();
    EXPECT_EQ(thumb.frame().width(), 14);
}

struct Conditional {
    Observable<bool>* shown;
    Transition transition;
    View body(ViewContext<NoState>&) const {
        return ZStack(
            {Rectangle().frame(100, 20),
             (*shown)()
                 ? View(Rectangle().frame(100, 20).accessibilityIdentifier("item").transition(
                       transition))
                 : View()});
    }
};

TEST_F(AnimationTest, InsertionAndRemovalPlayTheirTransitions) {
    Observable<bool> shown{false};
    auto h = host(Conditional{
        &shown, Transition::asymmetric(Transition::move(Edge::top).combined(Transition::opacity()),
                                       Transition::scale(0.5, UnitPoint::bottom()))});
    withAnimation(Animation::linear(0.2), [&] { shown.set(true); });
    runUntilIdle();
    const auto item = h->find(Query::byIdentifier("item"));
    EXPECT_DOUBLE_EQ(item.opacity(), 0);
    EXPECT_DOUBLE_EQ(item.frame().minY(), -20);
    advance(0.1);
    EXPECT_DOUBLE_EQ(item.opacity(), 0.5);
    EXPECT_DOUBLE_EQ(item.frame().minY(), -10);
    advance(0.1);
    EXPECT_DOUBLE_EQ(item.frame().minY(), 0);

    withAnimation(Animation::linear(0.2), [&] { shown.set(false); });
    runUntilIdle();
    advance(0.1);
    // Scaled to 0.75 about its bottom edge, at full opacity.
    EXPECT_TRUE(near(item.frame(), {12.5, 5, 75, 15}));
    EXPECT_DOUBLE_EQ(item.opacity(), 1);
    advance(0.1);
    EXPECT_FALSE(item);
}

TEST_F(AnimationTest, ATimedTransitionPlaysWithItsOwnAnimation) {
    Observable<bool> shown{false};
    auto h = host(Conditional{
        &shown,
        Transition::asymmetric(Transition::opacity().animation(Animation::linear(0.2).delay(0.1)),
                               Transition::opacity().animation(Animation::linear(0.1)))});
    withAnimation(Animation::linear(1), [&] { shown.set(true); });
    runUntilIdle();
    const auto item = h->find(Query::byIdentifier("item"));
    advance(0.1);
    EXPECT_DOUBLE_EQ(item.opacity(), 0);
    advance(0.1);
    EXPECT_DOUBLE_EQ(item.opacity(), 0.5);
    advance(0.1);
    EXPECT_DOUBLE_EQ(item.opacity(), 1);

    withAnimation(Animation::linear(1), [&] { shown.set(false); });
    runUntilIdle();
    advance(0.05);
    EXPECT_DOUBLE_EQ(item.opacity(), 0.5);
    advance(0.05);
    EXPECT_FALSE(item);
}

TEST_F(AnimationTest, WithoutAnimationViewsComeAndGoAtOnce) {
    Observable<bool> shown{false};
    auto h = host(Conditional{&shown, Transition::opacity()});
    shown.set(true);
    runUntilIdle();
    EXPECT_DOUBLE_EQ(h->find(Query::byIdentifier("item")).opacity(), 1);
    shown.set(false);
    runUntilIdle();
    EXPECT_FALSE(h->find(Query::byIdentifier("item")));
}

TEST_F(AnimationTest, TheFrameTimerStopsWhenNothingMoves) {
    Observable<bool> shown{false};
    auto h = host(Conditional{&shown, Transition::opacity()});
    int frames = 0;
    h->onNeedsDisplay = [&] { ++frames; };
    withAnimation(Animation::linear(0.1), [&] { shown.set(true); });
    runUntilIdle();
    advance(1);
    const int afterAnimation = frames;
    EXPECT_GE(afterAnimation, 6);
    EXPECT_LE(afterAnimation, 9);
    advance(1);
    EXPECT_EQ(frames, afterAnimation);
}

TEST_F(AnimationTest, AnIdentityInsertionLeavesTheFrameTimerAsleep) {
    Observable<bool> shown{false};
    auto h = host(Conditional{&shown, Transition::identity()});
    int frames = 0;
    h->onNeedsDisplay = [&] { ++frames; };
    withAnimation(Animation::linear(0.1), [&] { shown.set(true); });
    runUntilIdle();
    advance(1);
    EXPECT_EQ(frames, 1);
    EXPECT_DOUBLE_EQ(h->find(Query::byIdentifier("item")).opacity(), 1);
}

}  // namespace
}  // namespace talvori::ui::testing

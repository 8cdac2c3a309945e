#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using MatchedGeometryTest = UiTest;

// Three segments; a highlight behind them follows the selected one.
struct Selector {
    Observable<int>* selected;
    std::optional<Animation> animation;

    struct State {
        MatchedGeometryNamespace space;
    };

    View body(ViewContext<State>& ctx) const {
        ViewList segments;
        for (int i = 0; i < 3; ++i) {
            const View marker =
                i == (*selected)()
                    ? View(Color::clear()).matchedGeometryEffect("pick", ctx.state.space)
                    : View();
            segments.push_back(View(Color::clear()).frame(20.0 + 10 * i, 10).background(marker));
        }
        return HStack(4, segments)
            .padding(2)
            .background(Rectangle()
                            .fill(Color::white(0.1))
                            .accessibilityIdentifier("highlight")
                            .matchedGeometryEffect("pick", ctx.state.space, false))
            .animation(animation, (*selected)());
    }
};

TEST_F(MatchedGeometryTest, AFollowerTakesTheSourcesFrameAndMovesWithIt) {
    Observable<int> selected{0};
    auto h = host(Selector{&selected, Animation::easeInOut(0.2)});
    const auto highlight = h->find(Query::byIdentifier("highlight"));
    EXPECT_TRUE(near(highlight.frame(), {2, 2, 20, 10}));

    selected.set(2);
    runUntilIdle();
    // From x 2 to 2 + 20 + 4 + 30 + 4 = 60, growing from 20 to 40 wide, on the selector's curve.
    advance(0.05);
    const double progress = Animation::easeInOut(0.2).progress(0.05);
    EXPECT_NEAR(highlight.frame().minX(), 2 + 58 * progress, 1e-6);
    EXPECT_NEAR(highlight.frame().width(), 20 + 20 * progress, 1e-6);
    advance(0.15);
    EXPECT_TRUE(near(highlight.frame(), {60, 2, 40, 10}));
}

TEST_F(MatchedGeometryTest, WithoutAnimationTheFollowerJumpsAndWithoutASourceKeepsItsOwnFrame) {
    Observable<int> selected{1};
    auto h = host(Selector{&selected, std::nullopt});
    const auto highlight = h->find(Query::byIdentifier("highlight"));
    EXPECT_TRUE(near(highlight.frame(), {26, 2, 30, 10}));
    selected.set(0);
    runUntilIdle();
    EXPECT_TRUE(near(highlight.frame(), {2, 2, 20, 10}));

    // No segment selected: the highlight fills the background it sits in.
    selected.set(-1);
    runUntilIdle();
    EXPECT_TRUE(near(highlight.frame(), {0, 0, 20 + 30 + 40 + 8 + 4, 14}));
}

}  // namespace
}  // namespace talvori::ui::testing

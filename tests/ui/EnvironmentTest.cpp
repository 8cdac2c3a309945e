#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using EnvironmentTest = UiTest;

enum class Policy { standard, disallow, allow };
inline const EnvironmentKey<Policy> policyKey{Policy::standard};

struct PolicyReader {
    std::string name;
    int* builds;
    bool operator==(const PolicyReader&) const = default;
    View body(ViewContext<NoState>& ctx) const {
        ++*builds;
        const Policy policy = ctx.environment().value(policyKey);
        return Text(name + (policy == Policy::standard ? " standard"
                            : policy == Policy::allow  ? " allow"
                                                       : " disallow"));
    }
};

struct PolicyTree {
    Observable<Policy>* outer;
    int* builds;
    View body(ViewContext<NoState>&) const {
        return VStack({PolicyReader{"a", builds},
                       View(PolicyReader{"b", builds}).environment(policyKey, Policy::allow)})
            .environment(policyKey, (*outer)());
    }
};

TEST_F(EnvironmentTest, CustomValuesAreInheritedAndTheInnermostWins) {
    Observable<Policy> outer{Policy::disallow};
    int builds = 0;
    auto h = host(PolicyTree{&outer, &builds});
    EXPECT_TRUE(h->find(Query::byText("a disallow")));
    EXPECT_TRUE(h->find(Query::byText("b allow")));
    EXPECT_EQ(builds, 2);

    // A changed value rebuilds the components below that see it, and only them.
    outer.set(Policy::standard);
    runUntilIdle();
    EXPECT_TRUE(h->find(Query::byText("a standard")));
    EXPECT_TRUE(h->find(Query::byText("b allow")));
    EXPECT_EQ(builds, 3);
}

TEST_F(EnvironmentTest, ReduceMotionCanBeSetForASubtree) {
    bool seen = false;
    struct Reader {
        bool* seen;
        View body(ViewContext<NoState>& ctx) const {
            *seen = !ctx.animation(Animation::easeOut(0.2)).has_value();
            return View();
        }
    };
    auto h = host(View(Reader{&seen}).environment([](Environment& environment) {
        environment.setReduceMotion(true);
    }));
    EXPECT_TRUE(seen);
}

TEST_F(EnvironmentTest, FontAndColourReachTextsBelow) {
    auto h = host(VStack({Text("inherits"), Text("own").foregroundColor(Color::black())})
                      .font(Font::system(20))
                      .foregroundColor(Color::white(0.5)));
    EXPECT_EQ(h->find(Query::byText("inherits")).frame().height(), 24);
    EXPECT_EQ(h->find(Query::byText("inherits")).foregroundColor(), Color::white(0.5));
    EXPECT_EQ(h->find(Query::byText("own")).foregroundColor(), Color::black());
}

// The countdown bar of an undo link: as wide as the link times a fraction that drains linearly.
struct CountdownLink {
    struct State {
        Observable<double> fillFraction{1.0};
    };
    Observable<bool>* undoAvailable;
    View body(ViewContext<State>& ctx) const {
        auto& fraction = ctx.state.fillFraction;
        auto restartFill = [&fraction, weak = ctx.weakState()] {
            withoutAnimation([&] { fraction.set(1.0); });
            platform().runLoop().post([weak] {
                if (auto state = weak.lock()) {
                    withAnimation(Animation::linear(8.0), [&] { state->fillFraction.set(0.0); });
                }
            });
        };
        return Text("Undo close all")
            .font(Font::system(12))
            .padding(EdgeInsets{4, 8, 4, 8})
            .background(GeometryReader([&fraction](Size size) {
                            return RoundedRectangle(4)
                                .fill(Color::white(0.08))
                                .frame(size.width * fraction(), size.height)
                                .accessibilityIdentifier("bar");
                        }),
                        Alignment::leading())
            .onChange((*undoAvailable)(), [restartFill](bool available) {
                if (available) restartFill();
            });
    }
};

TEST_F(EnvironmentTest, AMeasuredWidthDrainsLinearly) {
    Observable<bool> undoAvailable{false};
    auto h = host(CountdownLink{&undoAvailable});
    const auto bar = h->find(Query::byIdentifier("bar"));
    const double full = bar.frame().width();
    EXPECT_EQ(full, 14 * 7.2 + 16);
    advance(2);
    EXPECT_EQ(bar.frame().width(), full);
    undoAvailable.set(true);
    runUntilIdle();
    advance(2);
    EXPECT_NEAR(bar.frame().width(), full * 0.75, 1e-6);
    advance(6);
    EXPECT_NEAR(bar.frame().width(), 0, 1e-9);
}

TEST_F(EnvironmentTest, ATaskOfAViewThatWentDoesNothing) {
    Observable<bool> shown{true};
    int ticks = 0;
    struct Ticking {
        int* ticks;
        struct State {
            Observable<int> count{0};
        };
        View body(ViewContext<State>& ctx) const {
            return Text("tick").task([weak = ctx.weakState(), ticks = ticks]() -> Async {
                while (co_await Task::sleep(1.0)) {
                    auto state = weak.lock();
                    if (!state) co_return;
                    ++*ticks;
                }
            });
        }
    };
    struct Holder {
        Observable<bool>* shown;
        int* ticks;
        View body(ViewContext<NoState>&) const {
            return (*shown)() ? View(Ticking{ticks}) : View();
        }
    };
    auto h = host(Holder{&shown, &ticks});
    advance(2.5);
    EXPECT_EQ(ticks, 2);
    shown.set(false);
    runUntilIdle();
    advance(5);
    EXPECT_EQ(ticks, 2);
}

TEST_F(EnvironmentTest, ClickingInAFieldPlacesTheCaret) {
    Observable<std::string> text{"abcdef"};
    struct Field {
        Observable<std::string>* text;
        View body(ViewContext<NoState>&) const {
            return TextField("Field", *text).font(Font::system(10)).frame({.width = 100});
        }
    };
    auto h = host(Field{&text});
    // Six points a character: a click at 13 points lands between "b" and "c".
    h->mouseDown({13, 5});
    h->mouseUp({13, 5});
    h->type("X");
    EXPECT_EQ(text.peek(), "abXcdef");
}

}  // namespace
}  // namespace talvori::ui::testing

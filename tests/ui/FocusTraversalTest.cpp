#include "UiTest.hpp"
#include "ui/FocusRing.hpp"

namespace talvori::ui::testing {
namespace {

// Three fields side by side and one below them; `disabled` switches the third off.
struct Form {
    Observable<std::string>* texts;
    Observable<bool>* firstFocused;
    bool thirdDisabled;
    View body(ViewContext<NoState>&) const {
        return VStack({
            HStack({
                TextField("First", texts[0]).focused(*firstFocused).frame({.width = 60}),
                TextField("Second", texts[1]).frame({.width = 60}),
                TextField("Third", texts[2]).frame({.width = 60}).disabled(thirdDisabled),
            }),
            Text("Not focusable").focusable(false),
            Text("Custom").frame(60, 20).focusable().accessibilityLabel("Custom"),
            Text("Off").frame(60, 20).focusable().disabled().accessibilityLabel("Off"),
        });
    }
};

class FocusTraversalTest : public UiTest {
  protected:
    std::shared_ptr<Host> make(bool thirdDisabled) {
        return host(Form{texts, &firstFocused, thirdDisabled});
    }
    std::string focused(Host& h) const {
        for (const auto* label : {"First", "Second", "Third", "Custom", "Off"}) {
            if (h.find(Query::byLabel(label)).isFocused()) return label;
        }
        return "";
    }
    Observable<std::string> texts[3];
    Observable<bool> firstFocused{false};
};

TEST_F(FocusTraversalTest, TabCyclesInReadingOrderAndSkipsViewsThatRefuseFocus) {
    auto h = make(true);
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(h->press(Key::tab));
        order.push_back(focused(*h));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"First", "Second", "Custom", "First"}));
    EXPECT_TRUE(firstFocused.peek()) << "the focus binding follows";
    EXPECT_TRUE(h->press(Key::tab, Modifiers::shift));
    EXPECT_EQ(focused(*h), "Custom");
    EXPECT_FALSE(firstFocused.peek());
    h->type("x");
    EXPECT_TRUE(h->press(Key::tab, Modifiers::shift));
    EXPECT_EQ(focused(*h), "Second");
    h->type("typed");
    EXPECT_EQ(texts[1].peek(), "typed");
}

TEST_F(FocusTraversalTest, AnEnabledFieldTakesItsTurnAndChordsWithTabAreNotTraversal) {
    auto h = make(false);
    h->press(Key::tab);
    h->press(Key::tab);
    h->press(Key::tab);
    EXPECT_EQ(focused(*h), "Third");
    EXPECT_FALSE(h->press(Key::tab, Modifiers::command));
    EXPECT_EQ(focused(*h), "Third");
    EXPECT_FALSE(host(Text("Nothing to focus"))->press(Key::tab));
}

// The controls the windows are made of, and one faded out as a hidden undo link is.
struct Controls {
    int* presses;
    Observable<bool>* on;
    Observable<double>* level;
    View body(ViewContext<NoState>&) const {
        return VStack({
            Button([presses = presses] { ++*presses; }, Text("Press").frame(60, 20))
                .accessibilityLabel("Press"),
            Button("Hidden", [] {}).opacity(0).accessibilityLabel("Hidden"),
            View(Toggle{Binding<bool>(*on)}).accessibilityLabel("Switch"),
            View(Slider{(*level)(),
                        false,
                        false,
                        {},
                        [level = level](double to) { level->set(to); },
                        {}})
                .accessibilityLabel("Level"),
        });
    }
};

std::string focusedLabel(const std::vector<AccessibilityNode>& elements) {
    for (const auto& element : elements) {
        if (element.isFocused) return element.label;
        if (auto inner = focusedLabel(element.children); !inner.empty()) return inner;
    }
    return "";
}

TEST_F(FocusTraversalTest, EveryControlTakesItsTurnWearsTheRingAndWorksFromTheKeyboard) {
    int presses = 0;
    Observable<bool> on{false};
    Observable<double> level{0.5};
    auto h = host(Controls{&presses, &on, &level}, Size{80, 80});
    h->setKeyWindow(true);
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i) {
        h->press(Key::tab);
        order.push_back(focusedLabel(h->accessibilityElements()));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Press", "Switch", "Level", "Press"}));
    // Up and Down move to the control above or below, and stop at the ends.
    EXPECT_TRUE(h->press(Key::downArrow));
    EXPECT_EQ(focusedLabel(h->accessibilityElements()), "Switch");
    EXPECT_TRUE(h->press(Key::upArrow));
    EXPECT_FALSE(h->press(Key::upArrow));
    EXPECT_EQ(focusedLabel(h->accessibilityElements()), "Press");
    EXPECT_TRUE(h->press(Key::space));
    EXPECT_TRUE(h->press(Key::returnKey));
    EXPECT_EQ(presses, 2);
    h->press(Key::tab);
    EXPECT_TRUE(h->press(Key::space));
    EXPECT_TRUE(on.peek());
    h->press(Key::tab);
    EXPECT_TRUE(h->press(Key::rightArrow));
    EXPECT_NEAR(level.peek(), 0.55, 1e-9);
    h->updateNow();
    EXPECT_TRUE(h->press(Key::end));
    EXPECT_EQ(level.peek(), 1.0);
    EXPECT_FALSE(h->press(Key::escape)) << "a key the slider has no use for goes on";
}

// A button filled with the accent colour, with room around it or clipped to its own bounds.
struct AccentButton {
    bool clipped;
    View body(ViewContext<NoState>& ctx) const {
        const View button =
            Button([] {}, View(ctx.environment().tint).frame(40, 20)).accessibilityLabel("Accent");
        return clipped ? button.clipped() : button;
    }
};

// The ring shows on a control of the accent colour: outside it where there is room, else as a
// line of another colour just inside it.
TEST_F(FocusTraversalTest, TheRingShowsOnAControlOfTheAccentColour) {
    for (const bool clipped : {false, true}) {
        auto h = host(AccentButton{clipped}, Size{60, 40});
        h->setKeyWindow(true);
        const Color tint = h->rootEnvironment()->tint;
        const Rect frame = h->find(Query::byLabel("Accent")).frame();
        const Point outside{frame.minX() - FocusRing::kGap - FocusRing::kLineWidth / 2,
                            frame.midY()};
        const Point inside{frame.minX() + FocusRing::kLineWidth + 0.5, frame.midY()};
        const Color before = pixel(*h, clipped ? inside : outside);
        h->press(Key::tab);
        const Color after = pixel(*h, clipped ? inside : outside);
        EXPECT_FALSE(close(before, after, 0.2)) << "clipped " << clipped;
        if (!clipped) {
            EXPECT_TRUE(close(after, tint));
        }
        EXPECT_TRUE(close(pixel(*h, center(frame)), tint)) << "the control itself is unchanged";
    }
}

}  // namespace
}  // namespace talvori::ui::testing

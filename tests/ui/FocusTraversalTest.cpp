#include "UiTest.hpp"

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

}  // namespace
}  // namespace talvori::ui::testing

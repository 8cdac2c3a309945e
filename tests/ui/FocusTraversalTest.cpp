#include "UiTest.hpp"
#include "support/FocusedLabel.hpp"
#include "ui/FocusRing.hpp"

namespace talvori::ui::testing {
namespace {

using talvori::testing::focusedLabel;

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

View labelledButton(const std::string& label) {
    return Button([] {}, Text("x")).accessibilityLabel(label);
}

// A named thing's row, its name maybe being edited.
struct Row {
    std::string name;
    Observable<std::string>* editing;
    bool operator==(const Row& other) const { return name == other.name; }
    View body(ViewContext<NoState>& ctx) const {
        const View title = ctx.read(Binding<std::string>(*editing)) == name
                               ? TextField("Name", *editing).accessibilityLabel("Name " + name)
                               : Text(name);
        return HStack({title, labelledButton("Rename " + name), labelledButton("Close " + name)});
    }
};

// Rows above a page of controls: what a panel and a tabbed window are made of.
struct Rows {
    Observable<std::vector<std::string>>* names;
    Observable<std::string>* editing;
    Observable<int>* page;
    View body(ViewContext<NoState>& ctx) const {
        const View rows = ForEach(
            ctx.read(Binding<std::vector<std::string>>(*names)),
            [](const std::string& name) { return name; },
            [editing = editing](const std::string& name) {
                return View(Row{name, editing});
            });
        const int shown = ctx.read(Binding<int>(*page));
        const View content = VStack({labelledButton("Page " + std::to_string(shown)),
                                     labelledButton("More " + std::to_string(shown))})
                                 .id(shown);
        return VStack({rows, content});
    }
};

struct FocusAfterRemoval {
    std::string focusedBefore;
    std::string change;
    std::string focusedAfter;
};

void PrintTo(const FocusAfterRemoval& walk, std::ostream* out) {
    *out << walk.change;
}

class FocusAfterRemovalTest : public FocusTraversalTest,
                              public ::testing::WithParamInterface<FocusAfterRemoval> {
  protected:
    Observable<std::vector<std::string>> names{{"A", "B", "C"}};
    Observable<std::string> editing{"B"};
    Observable<int> page{1};
};

// A control that goes with the focus hands it on to the nearest control a keyboard user expects:
// what took its place, else the next one, else the one before; never to nothing.
TEST_P(FocusAfterRemovalTest, TheFocusLandsOnTheNearestControl) {
    const auto& walk = GetParam();
    auto h = host(Rows{&names, &editing, &page});
    for (int tabs = 0; tabs < 12 && focusedLabel(*h) != walk.focusedBefore; ++tabs)
        h->press(Key::tab);
    ASSERT_EQ(focusedLabel(*h), walk.focusedBefore);
    if (walk.change == "renameEnds") editing.set("");
    if (walk.change == "rowCloses") names.set({"A", "C"});
    if (walk.change == "lastRowCloses") names.set({"A", "B"});
    if (walk.change == "pageChanges") page.set(2);
    runUntilIdle();
    EXPECT_EQ(focusedLabel(*h), walk.focusedAfter);
}

INSTANTIATE_TEST_SUITE_P(Changes, FocusAfterRemovalTest,
                         ::testing::Values(FocusAfterRemoval{"Name B", "renameEnds", "Rename B"},
                                           FocusAfterRemoval{"Close B", "rowCloses", "Rename C"},
                                           FocusAfterRemoval{"Close C", "lastRowCloses", "Page 1"},
                                           FocusAfterRemoval{"More 1", "pageChanges", "Page 2"}),
                         [](const auto& info) { return info.param.change; });

struct TabKey {
    std::string name;
    // Where the focus is when the key goes: the first page's button or the first tab.
    std::string from;
    Key key;
    Modifiers modifiers;
};

void PrintTo(const TabKey& key, std::ostream* out) {
    *out << key.name;
}

class TabKeysTest : public FocusTraversalTest, public ::testing::WithParamInterface<TabKey> {};

// The keys that switch tabs take the focus to the new tab, wherever it was, so that a reader says
// the page it shows.
TEST_P(TabKeysTest, SwitchThePageAndFocusItsTab) {
    enum class Pane { general, shortcuts };
    Observable<Pane> pane{Pane::general};
    auto h = host(TabView<Pane>(
        pane, {{"General", "gearshape", Pane::general, labelledButton("Login")},
               {"Shortcuts", "keyboard", Pane::shortcuts, labelledButton("New Cover")}}));
    const auto& walk = GetParam();
    for (int tabs = 0; tabs < 4 && focusedLabel(*h) != walk.from; ++tabs) h->press(Key::tab);
    ASSERT_EQ(focusedLabel(*h), walk.from);
    EXPECT_TRUE(h->press(walk.key, walk.modifiers));
    runUntilIdle();
    EXPECT_EQ(pane.peek(), Pane::shortcuts);
    EXPECT_EQ(focusedLabel(*h), "Shortcuts");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TabKeysTest,
    ::testing::Values(TabKey{"controlTab", "Login", Key::tab, Modifiers::control},
                      TabKey{"controlPageDown", "Login", Key::pageDown, Modifiers::control},
                      TabKey{"rightArrow", "General", Key::rightArrow, Modifiers::none}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace talvori::ui::testing

#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using InputTest = UiTest;

TEST_F(InputTest, HitsGoToTheFrontmostViewThatTakesThem) {
    std::vector<std::string> taps;
    auto tap = [&](std::string name) { return [&taps, name] { taps.push_back(name); }; };
    auto h = host(ZStack({
        Rectangle().frame(100, 100).onTapGesture(tap("back")),
        Rectangle().frame(40, 40).onTapGesture(tap("front")),
        Rectangle().frame(60, 60).allowsHitTesting(false).onTapGesture(tap("transparent")),
        View(Color::clear()).frame(80, 80).onTapGesture(tap("clear")),
    }));
    h->mouseDown({50, 50});
    h->mouseUp({50, 50});
    h->mouseDown({5, 5});
    h->mouseUp({5, 5});
    EXPECT_EQ(taps, (std::vector<std::string>{"front", "back"}));
}

TEST_F(InputTest, ContentShapeSetsTheArea) {
    int taps = 0;
    auto h = host(HStack(0, {Text("a"), Spacer(), Text("b")})
                      .frame(200, 20)
                      .contentShape(Rectangle())
                      .onTapGesture([&] { ++taps; }));
    h->mouseDown({100, 10});
    h->mouseUp({100, 10});
    EXPECT_EQ(taps, 1);
    auto circle =
        host(Rectangle().frame(100, 100).contentShape(Circle()).onTapGesture([&] { ++taps; }));
    circle->mouseDown({2, 2});
    circle->mouseUp({2, 2});
    EXPECT_EQ(taps, 1);
}

TEST_F(InputTest, AViewSetToOpacityZeroTakesNoInputEvenWhileFading) {
    Observable<bool> hidden{false};
    int taps = 0;
    struct Fading {
        Observable<bool>* hidden;
        int* taps;
        View body(ViewContext<NoState>&) const {
            return Rectangle()
                .frame(50, 50)
                .onTapGesture([taps = taps] { ++*taps; })
                .opacity((*hidden)() ? 0 : 1);
        }
    };
    auto h = host(Fading{&hidden, &taps});
    withAnimation(Animation::easeOut(1), [&] { hidden.set(true); });
    runUntilIdle();
    advance(0.1);
    EXPECT_GT(h->root().opacity(), 0);
    h->mouseDown({25, 25});
    h->mouseUp({25, 25});
    EXPECT_EQ(taps, 0);
    // Fading in takes input at once.
    withAnimation(Animation::easeOut(1), [&] { hidden.set(false); });
    runUntilIdle();
    h->mouseDown({25, 25});
    h->mouseUp({25, 25});
    EXPECT_EQ(taps, 1);
}

// A block shown above a row: the row slides down over the block while the block fades in.
struct InsertedBlock {
    Observable<bool>* shown;
    std::vector<std::string>* taps;
    View body(ViewContext<NoState>&) const {
        auto tap = [taps = taps](std::string name) {
            return [taps, name] { taps->push_back(name); };
        };
        return VStack(0, {(*shown)() ? Rectangle()
                                           .frame(100, 40)
                                           .onTapGesture(tap("block"))
                                           .transition(Transition::opacity())
                                     : View(),
                          Rectangle().frame(100, 40).onTapGesture(tap("row"))})
            .frame(100, 80, Alignment::top());
    }
};

TEST_F(InputTest, ClicksGoWhereViewsAreLaidOutWhileTheyFadeInOrOut) {
    Observable<bool> shown{false};
    std::vector<std::string> taps;
    auto h = host(InsertedBlock{&shown, &taps});
    auto clickAtQuarter = [&](bool show) {
        withAnimation(Animation::linear(1), [&] { shown.set(show); });
        runUntilIdle();
        advance(0.25);
        h->mouseDown({50, 20});
        h->mouseUp({50, 20});
        advance(1);
    };
    // The block takes the click although the row is still drawn over that point.
    clickAtQuarter(true);
    // The leaving block is still drawn there, but the row has taken its place.
    clickAtQuarter(false);
    EXPECT_EQ(taps, (std::vector<std::string>{"block", "row"}));
}

struct StyledButton {
    Observable<bool>* enabled;
    int* clicks;
    View body(ViewContext<NoState>&) const {
        return Button([clicks = clicks] { ++*clicks; }, Text("Go"))
            .buttonStyle([](const ButtonConfiguration& configuration) {
                return configuration.label
                    .foregroundColor(configuration.isPressed ? Color::black() : Color::white())
                    .opacity(configuration.isEnabled ? 1 : 0.5)
                    .scaleEffect(configuration.isPressed ? 0.97 : 1);
            })
            .disabled(!(*enabled)());
    }
};

TEST_F(InputTest, ButtonStylesSeeThePressedState) {
    Observable<bool> enabled{true};
    int clicks = 0;
    auto h = host(StyledButton{&enabled, &clicks});
    const auto text = h->find(Query::byText("Go"));
    const Point inside = center(text.frame());
    h->mouseDown(inside);
    runUntilIdle();
    EXPECT_EQ(text.foregroundColor(), Color::black());
    // Leaving the button while pressed releases the look, and releasing outside does nothing.
    h->mouseDragged({inside.x + 100, inside.y});
    runUntilIdle();
    EXPECT_EQ(text.foregroundColor(), Color::white());
    h->mouseUp({inside.x + 100, inside.y});
    EXPECT_EQ(clicks, 0);
    text.click();
    EXPECT_EQ(clicks, 1);

    enabled.set(false);
    runUntilIdle();
    EXPECT_DOUBLE_EQ(text.opacity(), 0.5);
    text.click();
    runUntilIdle();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(text.foregroundColor(), Color::white());
}

TEST_F(InputTest, DragsReportLocalLocationsAfterTheirMinimumDistance) {
    std::vector<Point> changes;
    std::optional<Point> ended;
    auto track = [&](double minimumDistance) {
        return Rectangle()
            .frame(200, 20)
            .gesture(DragGesture{minimumDistance,
                                 [&](const DragValue& value) { changes.push_back(value.location); },
                                 [&](const DragValue& value) { ended = value.location; }})
            .padding(30);
    };
    auto h = host(track(0));
    // A press without movement is one change.
    h->mouseDown({40, 40});
    EXPECT_EQ(changes, (std::vector<Point>{{10, 10}}));
    h->mouseDragged({300, 40});
    h->mouseUp({300, 40});
    EXPECT_EQ(changes.back(), (Point{270, 10}));
    EXPECT_EQ(ended, (Point{270, 10}));

    changes.clear();
    ended.reset();
    auto far = host(track(10));
    far->mouseDown({40, 40});
    far->mouseDragged({45, 40});
    EXPECT_TRUE(changes.empty());
    far->mouseDragged({52, 40});
    far->mouseUp({52, 40});
    EXPECT_EQ(changes, (std::vector<Point>{{22, 10}}));
    EXPECT_TRUE(ended);
}

TEST_F(InputTest, LongPressNeedsItsDurationWithinItsSlop) {
    int presses = 0;
    std::vector<bool> pressing;
    auto h = host(Rectangle().frame(100, 100).onLongPressGesture(
        {0.5, 10, [&] { ++presses; }, [&](bool value) { pressing.push_back(value); }}));
    h->mouseDown({50, 50});
    advance(0.49);
    EXPECT_EQ(presses, 0);
    advance(0.02);
    EXPECT_EQ(presses, 1);
    h->mouseUp({50, 50});
    EXPECT_EQ(pressing, (std::vector<bool>{true, false}));

    h->mouseDown({50, 50});
    h->mouseDragged({50, 62});
    advance(1);
    h->mouseUp({50, 62});
    EXPECT_EQ(presses, 1);
}

TEST_F(InputTest, HoverEntersAndLeavesAndEndsWhenTheViewGoes) {
    Observable<bool> shown{true};
    std::vector<std::string> events;
    struct Hovering {
        Observable<bool>* shown;
        std::vector<std::string>* events;
        View body(ViewContext<NoState>&) const {
            auto log = [events = events](std::string name) {
                return [events, name](bool inside) {
                    events->push_back(name + (inside ? " in" : " out"));
                };
            };
            return VStack(0, {(*shown)() ? View(Rectangle().frame(50, 50).onHover(log("inner")))
                                         : View(),
                              Rectangle().frame(50, 50)})
                .onHover(log("outer"));
        }
    };
    auto h = host(Hovering{&shown, &events});
    h->mouseMoved({25, 25});
    h->mouseMoved({25, 75});
    h->mouseMoved({25, 25});
    shown.set(false);
    runUntilIdle();
    h->windowDidOrderOut();
    EXPECT_EQ(events, (std::vector<std::string>{"outer in", "inner in", "inner out", "inner in",
                                                "inner out", "outer out"}));
}

struct Form {
    struct State {
        Observable<std::string> name{"Hello"};
        Observable<std::string> code{"808080"};
        Observable<bool> nameFocused{false};
        Observable<bool> codeFocused{false};
    };
    std::vector<std::string>* log;
    View body(ViewContext<State>& ctx) const {
        auto& state = ctx.state;
        return VStack({
            TextField("Name", state.name).focused(state.nameFocused).frame({.width = 120}),
            TextField("Hex", state.code)
                .onEditingChanged(
                    [log = log](bool editing) { log->push_back(editing ? "editing" : "done"); })
                .focused(state.codeFocused)
                .frame({.width = 120}),
        });
    }
};

class TextFieldTest : public UiTest {
  protected:
    std::vector<std::string> log;
    std::shared_ptr<Host> h = host(Form{&log});
    NodeRef name = h->find(Query::byLabel("Name"));
    NodeRef code = h->find(Query::byLabel("Hex"));
};

TEST_F(TextFieldTest, EditsWithTheKeyboard) {
    name.click();
    runUntilIdle();
    ASSERT_TRUE(name.isFocused());
    h->press(Key::leftArrow);
    h->press(Key::leftArrow, Modifiers::shift);
    h->type("Y");
    EXPECT_EQ(name.text(), "HelYo");
    h->press(Key::home);
    h->press(Key::deleteForward);
    h->press(Key::end);
    h->press(Key::deleteBackward);
    EXPECT_EQ(name.text(), "elY");
    h->setPasteboardReader([](std::size_t, auto receive) { receive("two\nlines"); });
    h->keyDown(KeyPress::character("a", Modifiers::command));
    h->keyDown(KeyPress::character("v", Modifiers::command));
    EXPECT_EQ(name.text(), "two lines");
    h->press(Key::leftArrow, Modifiers::command);
    h->type("\u00e9");
    h->press(Key::rightArrow);
    h->press(Key::deleteBackward);
    EXPECT_EQ(name.text(), "\u00e9wo lines");
}

// This desktop's editing keys: Control does what Command does, and goes by words where Command
// goes to an end; selecting sets the desktop's selection, which the middle button pastes.
TEST_F(TextFieldTest, TakesThisDesktopsEditingKeysAndTheMiddleButtonsPaste) {
    std::optional<std::string> copied, selected;
    h->setPasteboardWriter([&](const std::string& text) { copied = text; });
    h->setPasteboardReader([](std::size_t, auto receive) { receive("navy"); });
    h->setSelectionWriter([&](const std::string& text) { selected = text; });
    h->setSelectionReader([](std::size_t, auto receive) { receive("red\n"); });
    const auto control = [&](const char* key, Modifiers more = Modifiers::none) {
        return h->keyDown(KeyPress::character(key, Modifiers::control | more));
    };
    name.click();
    runUntilIdle();
    control("a");
    EXPECT_EQ(selected, "Hello");
    h->type("blue sky");
    EXPECT_EQ(name.text(), "blue sky");
    h->press(Key::leftArrow, Modifiers::control);
    h->press(Key::leftArrow, Modifiers::control | Modifiers::shift);
    EXPECT_EQ(selected, "blue ");
    control("x");
    EXPECT_EQ(copied, "blue ");
    h->press(Key::rightArrow, Modifiers::control);
    h->type(" ");
    h->press(Key::insert, Modifiers::shift);
    EXPECT_EQ(name.text(), "sky navy");
    h->press(Key::deleteBackward, Modifiers::control);
    EXPECT_EQ(name.text(), "sky ");
    control("z");
    EXPECT_EQ(name.text(), "sky navy");
    control("z");
    control("z");
    EXPECT_EQ(name.text(), "sky");
    control("Z", Modifiers::shift);
    EXPECT_EQ(name.text(), "sky ");
    h->keyDown(KeyPress::character("z", Modifiers::command));
    EXPECT_EQ(name.text(), "sky");
    h->press(Key::home);
    h->press(Key::end, Modifiers::shift);
    control("c");
    EXPECT_EQ(copied, "sky");
    // Chords the field has no use for go on to the window's shortcuts.
    EXPECT_FALSE(control("b"));

    // The middle button focuses the field it is pressed in and pastes there, as one line.
    ASSERT_TRUE(h->pasteSelection({code.frame().minX() + 1, code.frame().midY()}));
    EXPECT_TRUE(code.isFocused());
    EXPECT_EQ(code.text(), "red 808080");
}

TEST_F(TextFieldTest, FocusFollowsTheBindingBothWays) {
    code.click();
    runUntilIdle();
    EXPECT_TRUE(code.isFocused());
    EXPECT_EQ(log, (std::vector<std::string>{"editing"}));
    name.click();
    runUntilIdle();
    EXPECT_TRUE(name.isFocused());
    EXPECT_FALSE(code.isFocused());
    EXPECT_EQ(log, (std::vector<std::string>{"editing", "done"}));
    h->resignFocus();
    EXPECT_FALSE(h->hasFocusedTextField());
    // Typing goes nowhere without a focused field.
    EXPECT_FALSE(h->keyDown(KeyPress::character("x")));
}

struct Programmatic {
    Observable<std::string>* text;
    Observable<bool>* focused;
    View body(ViewContext<NoState>&) const {
        return TextField("Field", *text).focused(*focused).frame({.width = 100});
    }
};

TEST_F(InputTest, FieldsShowWritesMadeElsewhereAndTakeFocusFromTheirBinding) {
    Observable<std::string> text{"abc"};
    Observable<bool> focused{false};
    auto h = host(Programmatic{&text, &focused});
    focused.set(true);
    runUntilIdle();
    EXPECT_TRUE(h->hasFocusedTextField());
    text.set("FF7F50");
    runUntilIdle();
    h->type("!");
    EXPECT_EQ(text.peek(), "FF7F50!");
    focused.set(false);
    runUntilIdle();
    EXPECT_FALSE(h->hasFocusedTextField());
}

TEST_F(InputTest, KeyboardShortcutsNeedTheKeyWindowAndAnEnabledButton) {
    int saves = 0;
    Observable<bool> enabled{true};
    struct Shortcut {
        int* saves;
        Observable<bool>* enabled;
        View body(ViewContext<NoState>&) const {
            return Button("Save", [saves = saves] { ++*saves; })
                .keyboardShortcut("s")
                .disabled(!(*enabled)());
        }
    };
    auto h = host(Shortcut{&saves, &enabled});
    EXPECT_TRUE(h->keyDown(KeyPress::character("S", Modifiers::command)));
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(h->keyDown(KeyPress::character("s")));
    h->setKeyWindow(false);
    EXPECT_FALSE(h->keyDown(KeyPress::character("s", Modifiers::command)));
    h->setKeyWindow(true);
    enabled.set(false);
    runUntilIdle();
    EXPECT_FALSE(h->keyDown(KeyPress::character("s", Modifiers::command)));
    EXPECT_EQ(saves, 1);
}

TEST_F(InputTest, KeyPressHandlersOfFocusableViews) {
    std::vector<std::string> keys;
    auto h = host(Rectangle().frame(20, 20).focusable().onKeyPress([&](const KeyPress& press) {
        keys.push_back(press.key == Key::returnKey ? "return" : press.characters);
        return press.key == Key::returnKey;
    }));
    EXPECT_FALSE(h->press(Key::returnKey));
    h->mouseDown({10, 10});
    h->mouseUp({10, 10});
    EXPECT_TRUE(h->press(Key::returnKey));
    EXPECT_FALSE(h->keyDown(KeyPress::character("q")));
    EXPECT_EQ(keys, (std::vector<std::string>{"return", "q"}));
}

}  // namespace
}  // namespace talvori::ui::testing

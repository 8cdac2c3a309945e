#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/freedesktop/AtspiText.hpp"
#include "platform/freedesktop/AtspiTree.hpp"

namespace talvori::testing {
namespace {

using freedesktop::AtspiText;
using freedesktop::AtspiTree;
using Change = AtspiTree::Change;
using Kind = AtspiTree::Change::Kind;
using State = AtspiTree::State;

constexpr std::uint32_t kWindow = 7;

// Elements standing for views that live as long as the test keeps them.
struct Views {
    std::vector<std::shared_ptr<int>> views;

    AccessibilityNode element(std::size_t view, std::string label,
                              AccessibilityTrait traits = AccessibilityTrait::none) {
        while (views.size() <= view) views.push_back(std::make_shared<int>());
        AccessibilityNode node;
        node.label = std::move(label);
        node.traits = traits;
        node.source = views[view];
        return node;
    }
};

// The changes as "kind object child index" lines, for comparing.
std::vector<std::string> describe(const AtspiTree::Changes& changes) {
    std::vector<std::string> lines;
    for (const auto& change : changes) {
        std::string line =
            std::to_string(static_cast<int>(change.kind)) + " " + std::to_string(change.object);
        if (change.kind == Kind::childAdded || change.kind == Kind::childRemoved)
            line += " " + std::to_string(change.child) + " @" + std::to_string(change.index);
        if (change.kind == Kind::stateChanged)
            line += " state " + std::to_string(static_cast<int>(change.state)) +
                    (change.on ? " on" : " off");
        if (change.kind == Kind::textInserted || change.kind == Kind::textRemoved ||
            change.kind == Kind::caretMoved)
            line += " " + std::to_string(change.offset) + "+" + std::to_string(change.length) +
                    " \"" + change.text + "\"";
        lines.push_back(line);
    }
    return lines;
}

std::string added(AtspiTree::Id parent, AtspiTree::Id child, int index) {
    return std::to_string(static_cast<int>(Kind::childAdded)) + " " + std::to_string(parent) + " " +
           std::to_string(child) + " @" + std::to_string(index);
}

std::string removed(AtspiTree::Id parent, AtspiTree::Id child, int index) {
    return std::to_string(static_cast<int>(Kind::childRemoved)) + " " + std::to_string(parent) +
           " " + std::to_string(child) + " @" + std::to_string(index);
}

class AtspiTreeTest : public ::testing::Test {
  protected:
    AtspiTree::Id window() const { return *tree.windowObject(kWindow); }
    std::vector<AtspiTree::Id> children(AtspiTree::Id id) const { return tree.find(id)->children; }

    AtspiTree tree;
    Views views;
};

TEST_F(AtspiTreeTest, ReadingsKeepEachViewsNumberAndTellOnlyWhatCameWentOrChanged) {
    const auto shown = tree.setWindows({{kWindow, "Talvori", false, false}});
    EXPECT_EQ(describe(shown)[0], added(AtspiTree::kApplication, window(), 0));
    // The first reading is an answer, not news.
    EXPECT_TRUE(tree.read(kWindow, {views.element(0, "Covers"),
                                    views.element(1, "New cover", AccessibilityTrait::isButton),
                                    views.element(2, "Close")})
                    .empty());
    const auto before = children(window());
    ASSERT_EQ(before.size(), 3U);
    EXPECT_EQ(tree.find(before[1])->role, AtspiTree::Role::pushButton);

    // A row in the middle goes and another comes in its place; a label changes.
    auto renamed = views.element(0, "Covers (1)");
    renamed.hint = "Your covers";
    auto changes =
        tree.read(kWindow, {renamed, views.element(3, "Overlay 1"), views.element(2, "Close")});
    const auto after = children(window());
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[2], before[2]);
    EXPECT_EQ(
        describe(changes),
        (std::vector<std::string>{
            std::to_string(static_cast<int>(Kind::nameChanged)) + " " + std::to_string(before[0]),
            std::to_string(static_cast<int>(Kind::descriptionChanged)) + " " +
                std::to_string(before[0]),
            removed(window(), before[1], 1), added(window(), after[1], 1)}));
    // A gone element answers, defunct, for a reader that had it focused, until forgotten.
    ASSERT_TRUE(tree.find(before[1]));
    EXPECT_EQ(tree.states(*tree.find(before[1])), AtspiTree::bit(AtspiTree::State::defunct));
    EXPECT_EQ(tree.forgetDeparted(tree.readings()), std::vector<AtspiTree::Id>{before[1]});
    EXPECT_FALSE(tree.find(before[1])) << "a forgotten element's number answers no more";

    // Rows that change places leave and come back: a reader inserts, it does not move.
    changes =
        tree.read(kWindow, {views.element(2, "Close"), renamed, views.element(3, "Overlay 1")});
    EXPECT_EQ(describe(changes).size(), 6U);
    EXPECT_EQ(children(window()), (std::vector<AtspiTree::Id>{after[2], after[0], after[1]}));

    // A view that becomes a button is another object.
    changes = tree.read(kWindow, {views.element(2, "Close", AccessibilityTrait::isButton), renamed,
                                  views.element(3, "Overlay 1")});
    EXPECT_NE(children(window())[0], after[2]);

    EXPECT_EQ(AtspiTree::idOfPath(AtspiTree::path(after[0])), after[0]);
    EXPECT_EQ(AtspiTree::idOfPath("/org/a11y/atspi/accessible/root"), AtspiTree::kApplication);
    for (const char* wrong : {"/org/a11y/atspi/accessible/0", "/org/a11y/atspi/accessible/1x",
                              "/org/a11y/atspi/accessible", "/org/a11y/atspi/accessiblex/1",
                              "/org/a11y/atspi/accessible/99999999999999999999999"}) {
        EXPECT_FALSE(AtspiTree::idOfPath(wrong)) << wrong;
    }

    // The window goes with everything in it.
    const auto gone = window();
    changes = tree.setWindows({});
    EXPECT_EQ(describe(changes)[0], removed(AtspiTree::kApplication, gone, 0));
    EXPECT_FALSE(tree.find(after[0]));
}

// A switch turned on says so once (checked, as the desktop's switches do, not also pressed), and
// before the controls it brings: a reader reads each added one before it hears the next event.
// A choice of a group is a radio button, checked when chosen.
TEST_F(AtspiTreeTest, AnElementsNewStateIsToldOnceAndBeforeTheChildrenThatCameWithIt) {
    for (const auto traits : {AccessibilityTrait::isToggle, AccessibilityTrait::isRadio}) {
        AtspiTree fresh;
        fresh.setWindows({{kWindow, "Talvori", false, true}});
        auto control = views.element(0, "Focus Mode", AccessibilityTrait::isButton | traits);
        control.isOn = false;
        control.isFocusable = control.isFocused = true;
        fresh.read(kWindow, {control});
        const auto id = fresh.find(*fresh.windowObject(kWindow))->children[0];
        EXPECT_EQ(fresh.find(id)->role, traits == AccessibilityTrait::isToggle
                                            ? AtspiTree::Role::toggleButton
                                            : AtspiTree::Role::radioButton);

        control.isOn = true;
        const auto changes = fresh.read(
            kWindow, {control, views.element(1, "Effect"), views.element(2, "Dim opacity")});
        ASSERT_FALSE(changes.empty());
        EXPECT_EQ(describe(changes)[0],
                  std::to_string(static_cast<int>(Kind::stateChanged)) + " " + std::to_string(id) +
                      " state " + std::to_string(static_cast<int>(State::checked)) + " on");
        EXPECT_EQ(
            std::count_if(changes.begin(), changes.end(),
                          [](const Change& change) { return change.kind == Kind::stateChanged; }),
            1);
        EXPECT_EQ(fresh.states(*fresh.find(id)) & ~AtspiTree::bit(State::checkable) &
                      ~AtspiTree::bit(State::focusable) & ~AtspiTree::bit(State::focused),
                  AtspiTree::bit(State::checked) | AtspiTree::bit(State::visible) |
                      AtspiTree::bit(State::showing) | AtspiTree::bit(State::enabled) |
                      AtspiTree::bit(State::sensitive));
    }
}

// A window that takes the keys by holding the keyboard is said not active before it is said active,
// whether it shows with the keys or takes them later; one given the focus is only said active.
TEST_F(AtspiTreeTest, AWindowThatHoldsTheKeyboardIsSaidNotActiveBeforeItIsSaidActive) {
    const auto kinds = [](const AtspiTree::Changes& changes) {
        std::vector<Kind> told;
        for (const auto& change : changes) {
            if (change.kind != Kind::childAdded && change.kind != Kind::windowCreated)
                told.push_back(change.kind);
        }
        return told;
    };
    const std::vector<Kind> byGrab{Kind::windowDeactivated, Kind::stateChanged,
                                   Kind::windowActivated};
    EXPECT_EQ(kinds(tree.setWindows({{kWindow, "Overlay 1 settings", false, true, true}})), byGrab);
    tree.setWindows({{kWindow, "Overlay 1 settings", false, false, false}});
    EXPECT_EQ(kinds(tree.setWindows({{kWindow, "Overlay 1 settings", false, true, true}})), byGrab);
    tree.setWindows({{kWindow, "Overlay 1 settings", false, false, false}});
    EXPECT_EQ(kinds(tree.setWindows({{kWindow, "Overlay 1 settings", false, true, false}})),
              (std::vector<Kind>{Kind::stateChanged, Kind::windowActivated}));
}

TEST_F(AtspiTreeTest, TheFocusShowsInTheKeyWindowOnlyAndTextEditsCountCharacters) {
    tree.setWindows({{kWindow, "Settings", true, false}});
    auto field = views.element(0, "Name");
    field.isFocusable = field.isFocused = true;
    field.text = AccessibilityText{.contents = "n\u00e9", .caret = 3};
    field.text->replace = [](const std::string&) {};
    EXPECT_TRUE(tree.read(kWindow, {field}).empty());
    const auto id = children(window())[0];
    EXPECT_EQ(tree.find(id)->role, AtspiTree::Role::entry);
    EXPECT_FALSE(tree.focused()) << "the window is not key";

    auto changes = tree.setWindows({{kWindow, "Settings", true, true}});
    const auto focusedOn = std::to_string(static_cast<int>(Kind::stateChanged)) + " " +
                           std::to_string(id) + " state " +
                           std::to_string(static_cast<int>(State::focused)) + " on";
    EXPECT_EQ(describe(changes).back(), focusedOn);
    EXPECT_TRUE(tree.states(*tree.find(id)) & AtspiTree::bit(State::focused));

    // "né" becomes "néo": one character inserted after the second, the caret after it.
    field.text->contents = "n\u00e9o";
    field.text->caret = 4;
    changes = tree.read(kWindow, {field});
    EXPECT_EQ(describe(changes),
              (std::vector<std::string>{std::to_string(static_cast<int>(Kind::textInserted)) + " " +
                                            std::to_string(id) + " 2+1 \"o\"",
                                        std::to_string(static_cast<int>(Kind::caretMoved)) + " " +
                                            std::to_string(id) + " 3+0 \"\""}));
    // Replacing "é" by "e" removes and inserts one character at 1.
    field.text->contents = "neo";
    field.text->caret = 3;
    changes = tree.read(kWindow, {field});
    ASSERT_GE(changes.size(), 2U);
    EXPECT_EQ(changes[0].kind, Kind::textRemoved);
    EXPECT_EQ(changes[0].offset, 1);
    EXPECT_EQ(changes[0].text, "\u00e9");
    EXPECT_EQ(changes[1].kind, Kind::textInserted);
    EXPECT_EQ(changes[1].text, "e");

    changes = tree.setWindows({{kWindow, "Settings", true, false}});
    EXPECT_FALSE(tree.focused());

    // Offsets in characters, whatever the bytes.
    const AtspiText text("a\u00e9 \xF0\x9F\x98\x80 b\xFFz");
    EXPECT_EQ(text.length(), 8);
    EXPECT_EQ(text.codePointAt(3), 0x1F600);
    EXPECT_EQ(text.slice(1, 4), "\u00e9 \xF0\x9F\x98\x80");
    EXPECT_EQ(text.unitAt(1, AtspiText::Unit::word), (std::pair{0, 3}));
    EXPECT_EQ(text.unitAt(6, AtspiText::Unit::word), (std::pair{5, 8}));
    EXPECT_EQ(text.byteOffset(100), std::string("a\u00e9 \xF0\x9F\x98\x80 b\xFFz").size());
    EXPECT_EQ(text.slice(-3, 2), "a\u00e9");
}

}  // namespace
}  // namespace talvori::testing

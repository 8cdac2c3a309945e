#include "GlobalShortcuts/GlobalKeyboardShortcutViewModifier.hpp"
#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/ViewShortcut.hpp"
#include "GlobalShortcutsTest.hpp"
#include "ui/UI.hpp"

namespace GlobalShortcuts {
namespace {

using Flags = talvori::ModifierFlags;
using talvori::ui::KeyboardShortcut;
using talvori::ui::KeyPress;
using talvori::ui::Modifiers;
using talvori::ui::View;
using UiKey = talvori::ui::Key;

class GlobalKeyboardShortcutViewModifierTest : public testing::GlobalShortcutsTest {
  protected:
    // Counts its builds, so a test can tell whether the modifier built its content again.
    struct Counted {
        int* builds;
        View body(talvori::ui::ViewContext<talvori::ui::NoState>&) const {
            ++*builds;
            return talvori::ui::Text("Go");
        }
    };

    std::shared_ptr<talvori::ui::Host> makeHost(View root) {
        talvori::ui::Host::Options options;
        options.textMeasurer = std::make_shared<talvori::ui::FixedTextMeasurer>();
        return talvori::ui::Host::make(std::move(root), options);
    }
    View button() {
        return talvori::ui::Button([this] { ++presses; }, Counted{&builds});
    }
    void postRecorderActive(bool active) {
        talvori::platform().notificationCenter().post(kRecorderActiveStatusDidChangeNotification,
                                                      nullptr, {{"isActive", active}});
        runUntilIdle();
    }

    const Name name{"toggleFocus", Shortcut(Key::f, Flags::shift | Flags::command)};
    const Name other{"newCover", Shortcut(Key::n, Flags::option | Flags::command)};
    int presses = 0;
    int builds = 0;
};

TEST_F(GlobalKeyboardShortcutViewModifierTest, KeysBecomeNamedKeysOrLayoutCharacters) {
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::f, Flags::shift | Flags::command)),
              (KeyboardShortcut{"f", Modifiers::shift | Modifiers::command}));
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::upArrow, Flags::control | Flags::option)),
              (KeyboardShortcut{"", Modifiers::control | Modifiers::option, UiKey::upArrow}));
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::returnKey, Flags::command))->namedKey,
              UiKey::returnKey);
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::f5, Flags::command)), std::nullopt);
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::keypad5, Flags::command)), std::nullopt);
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::a, Flags::command | Flags::function)), std::nullopt);
    layout().selectLayout(talvori::sim::SimKeyboardLayout::Layout::german);
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::z, Flags::command))->key, "y");
    EXPECT_EQ(toKeyboardShortcut(Shortcut(Key::equal, Flags::command)), std::nullopt);
}

TEST_F(GlobalKeyboardShortcutViewModifierTest, TheButtonFollowsTheNamesShortcut) {
    auto host = makeHost(globalKeyboardShortcut(button(), name));
    runUntilIdle();
    EXPECT_TRUE(host->keyDown(KeyPress::character("F", Modifiers::shift | Modifiers::command)));
    EXPECT_EQ(presses, 1);

    setShortcut(Shortcut(Key::upArrow, Flags::option | Flags::command), name);
    runUntilIdle();
    EXPECT_FALSE(host->keyDown(KeyPress::character("F", Modifiers::shift | Modifiers::command)));
    EXPECT_TRUE(
        host->keyDown(KeyPress::named(UiKey::upArrow, Modifiers::option | Modifiers::command)));
    EXPECT_EQ(presses, 2);

    setShortcut(std::nullopt, name);
    runUntilIdle();
    EXPECT_FALSE(
        host->keyDown(KeyPress::named(UiKey::upArrow, Modifiers::option | Modifiers::command)));
}

TEST_F(GlobalKeyboardShortcutViewModifierTest, ARecordingRecorderTakesTheShortcutAway) {
    auto host = makeHost(globalKeyboardShortcut(button(), name));
    runUntilIdle();
    const KeyPress press = KeyPress::character("f", Modifiers::shift | Modifiers::command);
    postRecorderActive(true);
    EXPECT_FALSE(host->keyDown(press));
    postRecorderActive(false);
    EXPECT_TRUE(host->keyDown(press));

    // Another name's change builds nothing again.
    const int before = builds;
    setShortcut(Shortcut(Key::k, Flags::command), other);
    runUntilIdle();
    EXPECT_EQ(builds, before);
}

TEST_F(GlobalKeyboardShortcutViewModifierTest, EventActionsRunWhileTheViewIsShown) {
    talvori::Observable<bool> shown{true};
    std::vector<EventType> events;
    int downs = 0;
    struct Root {
        talvori::Observable<bool>* shown;
        Name name;
        std::vector<EventType>* events;
        int* downs;
        View body(talvori::ui::ViewContext<talvori::ui::NoState>&) const {
            if (!(*shown)()) return View();
            return onKeyboardShortcut(
                onKeyboardShortcut(talvori::ui::Text("Focus"), name,
                                   [events = events](EventType type) { events->push_back(type); }),
                name, EventType::keyDown, [downs = downs] { ++*downs; });
        }
    };
    auto host = makeHost(Root{&shown, name, &events, &downs});
    runUntilIdle();
    const Shortcut shiftCommandF = *name.initialShortcut;
    EXPECT_TRUE(isRegistered(shiftCommandF));
    EXPECT_TRUE(type(shiftCommandF));
    runUntilIdle();
    EXPECT_EQ(events, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(downs, 1);

    shown.set(false);
    runUntilIdle();
    EXPECT_FALSE(isRegistered(shiftCommandF));
    EXPECT_FALSE(type(shiftCommandF));
}

}  // namespace
}  // namespace GlobalShortcuts

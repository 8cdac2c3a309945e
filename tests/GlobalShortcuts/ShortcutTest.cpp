#include <gtest/gtest.h>
#include <stdlib.h>

#include <unordered_set>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/ResourceBundle.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "GlobalShortcuts/UnicodeText.hpp"
#include "GlobalShortcutsTest.hpp"
#include "platform/desktop/Event.hpp"

namespace GlobalShortcuts {
namespace {

using Flags = talvori::ModifierFlags;
using Layout = talvori::sim::SimKeyboardLayout::Layout;

class ShortcutTest : public testing::GlobalShortcutsTest {};

TEST_F(ShortcutTest, ConstructorsKeepOnlyTheFiveModifierBits) {
    const Shortcut toggleFocus(Key::f, Flags::command | Flags::shift);
    EXPECT_EQ(toggleFocus.carbonKeyCode, 3);
    EXPECT_EQ(toggleFocus.carbonModifiers, 0x300);
    EXPECT_EQ(Shortcut(Key::n, Flags::option | Flags::command).carbonModifiers, 0x900);
    EXPECT_EQ(Shortcut(Key::downArrow, Flags::control | Flags::option | Flags::command),
              Shortcut(125, 0x1900));
    EXPECT_EQ(Shortcut(3, 0x400).carbonModifiers, 0);
    EXPECT_EQ(Shortcut(3, 0x20100).carbonModifiers, 0x20100);
    EXPECT_EQ(Shortcut(Key::a, Flags::capsLock | Flags::command).modifiers(), Flags::command);
    EXPECT_EQ(toggleFocus.key(), Key::f);

    std::unordered_set<Shortcut> set{toggleFocus, Shortcut(3, 0x300), Shortcut(0x300, 3)};
    EXPECT_EQ(set.size(), 2u);
}

TEST_F(ShortcutTest, KeyEventsGiveShortcutsWithoutTheirFunctionFlag) {
    talvori::Event event;
    event.type = talvori::EventType::keyDown;
    event.keyCode = static_cast<std::uint16_t>(Key::f5.rawValue);
    event.modifierFlags = Flags::function | Flags::numericPad;
    EXPECT_EQ(Shortcut::fromEvent(event), Shortcut(96, 0));
    event.type = talvori::EventType::keyUp;
    event.keyCode = static_cast<std::uint16_t>(Key::f.rawValue);
    event.modifierFlags = Flags::command | Flags::shift | Flags::capsLock;
    EXPECT_EQ(Shortcut::fromEvent(event), Shortcut(3, 0x300));
    event.type = talvori::EventType::flagsChanged;
    EXPECT_EQ(Shortcut::fromEvent(event), std::nullopt);
}

TEST_F(ShortcutTest, JsonKeepsDecodedValuesAsStoredAndRefusesMalformedOnes) {
    EXPECT_EQ(Shortcut(3, 0x300).jsonText(), R"({"carbonKeyCode":3,"carbonModifiers":768})");
    const auto decoded = Shortcut::fromJsonText(R"({"carbonModifiers": 1024, "carbonKeyCode": 3,
                                                     "extra": [1]})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->carbonModifiers, 1024);
    EXPECT_NE(*decoded, Shortcut(3, 1024));
    EXPECT_EQ(Shortcut::fromJsonText(R"({"carbonKeyCode":4294967299,"carbonModifiers":-1})")
                  ->carbonKeyCode,
              4294967299);
    for (const char* bad :
         {R"({"carbonKeyCode":3})", R"({"carbonKeyCode":"3","carbonModifiers":0})",
          R"({"carbonKeyCode":3.5,"carbonModifiers":0})",
          R"({"carbonKeyCode":3,"carbonModifiers":null})",
          R"({"carbonKeyCode":18446744073709551615,"carbonModifiers":0})", R"([3,768])", "",
          "{\"carbonKeyCode\":3,", "true"}) {
        EXPECT_FALSE(Shortcut::fromJsonText(bad)) << bad;
    }
}

TEST_F(ShortcutTest, DescriptionShowsSymbolsSpecialKeysAndTheLayoutsCharacter) {
    EXPECT_EQ(Shortcut(Key::f, Flags::shift | Flags::command).description(), "⇧⌘F");
    EXPECT_EQ(Shortcut(Key::upArrow, Flags::option | Flags::command).description(), "⌥⌘↑");
    EXPECT_EQ(
        Shortcut(Key::downArrow, Flags::control | Flags::option | Flags::command).description(),
        "⌃⌥⌘↓");
    EXPECT_EQ(Shortcut(Key::f5, Flags::command).description(), "⌘F5");
    EXPECT_EQ(Shortcut(Key::f17, 0).description(), "F17");
    EXPECT_EQ(Shortcut(Key::keypad1, Flags::command).description(), "⌘1\u20E3");
    EXPECT_EQ(Shortcut(Key::keypad9, 0).description(), "9\u20E3");
    EXPECT_EQ(Shortcut(Key::help, 0).description(), "?\u20DD");
    EXPECT_EQ(Shortcut(Key::a, Flags::function).description(), "\U0001F310\uFE0EA");
    EXPECT_EQ(Shortcut(Key::option, Flags::command | Flags::option).description(), "⌥⌘\uFFFD");
    EXPECT_EQ(Shortcut(Key::space, Flags::option | Flags::command).description(),
              "⌥⌘" + UnicodeText::capitalized(localized("space_key")));
}

TEST_F(ShortcutTest, DescriptionFollowsTheLayoutAtOnce) {
    const Shortcut commandZ(Key::z, Flags::command);
    const Shortcut commandMinus(Key::minus, Flags::command);
    EXPECT_EQ(commandZ.description(), "⌘Z");
    EXPECT_EQ(commandMinus.description(), "⌘-");
    layout().selectLayout(Layout::german);
    EXPECT_EQ(commandZ.description(), "⌘Y");
    EXPECT_EQ(commandMinus.description(), "⌘Ss");
    // A dead key alone types nothing.
    EXPECT_EQ(Shortcut(Key::backtick, Flags::command).description(), "⌘\uFFFD");
    layout().overrideKey(Key::a.rawValue, "ab");
    EXPECT_EQ(Shortcut(Key::a, 0).description(), "\uFFFD");
    layout().setUnavailable(true);
    EXPECT_EQ(Shortcut(Key::s, Flags::shift).description(), "⇧\uFFFD");
    EXPECT_EQ(Shortcut(Key::s, 0).keyToCharacter(), std::nullopt);
}

TEST_F(ShortcutTest, KeyCodesBeyondTheKeyboardShowAndTypeNothing) {
    // 2^32 + 0 would wrap to the A key in a 16-bit translation.
    const auto wrapped =
        Shortcut::fromJsonText(R"({"carbonKeyCode":4294967296,"carbonModifiers":256})");
    EXPECT_EQ(wrapped->keyToCharacter(), std::nullopt);
    EXPECT_EQ(wrapped->description(), "⌘\uFFFD");
    EXPECT_EQ(Shortcut(-1, 0).keyToCharacter(), std::nullopt);
    EXPECT_EQ(Shortcut(65536, 0).nsMenuItemKeyEquivalent(), std::nullopt);
}

TEST_F(ShortcutTest, MenuKeyEquivalents) {
    EXPECT_EQ(Shortcut(Key::keypad5, Flags::command).nsMenuItemKeyEquivalent(), std::nullopt);
    EXPECT_EQ(Shortcut(Key::f1, Flags::command).nsMenuItemKeyEquivalent(), "\uF704");
    EXPECT_EQ(Shortcut(Key::f20, 0).nsMenuItemKeyEquivalent(), "\uF717");
    EXPECT_EQ(Shortcut(Key::space, Flags::command).nsMenuItemKeyEquivalent(), " ");
    EXPECT_EQ(Shortcut(Key::a, Flags::command).nsMenuItemKeyEquivalent(), "a");
    EXPECT_EQ(Shortcut(Key::help, 0).nsMenuItemKeyEquivalent(), "?\u20DD");
    EXPECT_EQ(Shortcut(Key::returnKey, 0).keyToCharacter(), std::nullopt);
}

TEST_F(ShortcutTest, SystemShortcutsDropFnOnFunctionKeysOnly) {
    hotKeys().setSymbolicHotKeys({
        {true, Key::f3.rawValue, 0x20000},
        {true, Key::a.rawValue, 0x20100},
        {false, Key::space.rawValue, 0x100},
        {true, Key::space.rawValue, 0x900 | 0x400},
        {true, Key::f12.rawValue, 0},
        {true, Key::f12.rawValue, 0x100},
    });
    EXPECT_EQ(Shortcut::systemShortcuts(),
              (std::vector<Shortcut>{Shortcut(99, 0), Shortcut(0, 0x20100), Shortcut(49, 0x900),
                                     Shortcut(111, 0), Shortcut(111, 0x100)}));
    EXPECT_TRUE(Shortcut(Key::f3, 0).isTakenBySystem());
    EXPECT_TRUE(Shortcut(Key::a, Flags::function | Flags::command).isTakenBySystem());
    EXPECT_FALSE(Shortcut(Key::a, Flags::command).isTakenBySystem());
    EXPECT_FALSE(Shortcut(Key::space, Flags::command).isTakenBySystem());
    EXPECT_TRUE(Shortcut(Key::space, Flags::command | Flags::option).isTakenBySystem());
    // Plain F12 is never taken; with a modifier it follows the list.
    EXPECT_FALSE(Shortcut(Key::f12, 0).isTakenBySystem());
    EXPECT_TRUE(Shortcut(Key::f12, Flags::command).isTakenBySystem());
    // A shortcut keeps its own Fn: F3 with Fn is not what the system lists.
    EXPECT_FALSE(Shortcut(Key::f3, Flags::function).isTakenBySystem());

    hotKeys().setSymbolicHotKeysFail(true);
    EXPECT_TRUE(Shortcut::systemShortcuts().empty());
    EXPECT_FALSE(Shortcut(Key::f3, 0).isTakenBySystem());
}

// The forked children leave with _Exit: the leak check that std::exit runs stops the world, which
// can fail on a loaded machine and abort a child whose answer was right.
TEST(SandboxTest, TheSandboxIsTheContainerVariableReadOnce) {
    EXPECT_EXIT(
        {
            ::setenv("APP_SANDBOX_CONTAINER_ID", "", 1);
            const bool first = isSandboxed();
            ::unsetenv("APP_SANDBOX_CONTAINER_ID");
            std::_Exit(first && isSandboxed() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            ::unsetenv("APP_SANDBOX_CONTAINER_ID");
            std::_Exit(isSandboxed() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace GlobalShortcuts

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/MenuItemShortcut.hpp"
#include "GlobalShortcutsTest.hpp"
#include "platform/desktop/MenuItem.hpp"

namespace GlobalShortcuts {
namespace {

using Flags = talvori::ModifierFlags;
using talvori::MenuItem;

class MenuItemShortcutTest : public testing::GlobalShortcutsTest {
  protected:
    std::shared_ptr<MenuItem> quit = std::make_shared<MenuItem>("Quit", "q", Flags::command);
    const Name name{"showPanel"};
    const Name other{"newCover"};

    void change(const std::optional<Shortcut>& shortcut, const Name& of) {
        GlobalShortcuts::setShortcut(shortcut, of);
        runUntilIdle();
    }
    void expectKey(const std::string& key, std::uint64_t mask) const {
        EXPECT_EQ(quit->keyEquivalent(), key);
        EXPECT_EQ(quit->keyEquivalentModifierMask(), mask);
    }
};

TEST_F(MenuItemShortcutTest, ABoundItemShowsTheNamesShortcutAndItsOwnWhenThereIsNone) {
    setShortcutFor(quit, name);
    expectKey("q", Flags::command);
    change(Shortcut(Key::d, Flags::shift | Flags::command), name);
    expectKey("d", Flags::shift | Flags::command);
    EXPECT_FALSE(quit->allowsAutomaticKeyEquivalentLocalization());
    change(Shortcut(Key::f5, Flags::control), name);
    expectKey("\uF708", Flags::control);
    change(std::nullopt, name);
    expectKey("q", Flags::command);
    EXPECT_TRUE(quit->allowsAutomaticKeyEquivalentLocalization());
}

TEST_F(MenuItemShortcutTest, RebindingKeepsTheFirstFallbackAndLeavesTheOldNameBehind) {
    setShortcutFor(quit, name);
    change(Shortcut(Key::d, Flags::command), name);
    // The second name has no shortcut: the item's own key equivalent from before the first binding.
    setShortcutFor(quit, other);
    expectKey("q", Flags::command);
    change(Shortcut(Key::e, Flags::command), name);
    expectKey("q", Flags::command);
    change(Shortcut(Key::k, Flags::option), other);
    expectKey("k", Flags::option);
    change(std::nullopt, other);
    expectKey("q", Flags::command);
    // Unbinding shows the item's own key equivalent and ends the observation.
    change(Shortcut(Key::k, Flags::option), other);
    setShortcutFor(quit, std::nullopt);
    expectKey("q", Flags::command);
    change(Shortcut(Key::j, Flags::option), other);
    expectKey("q", Flags::command);
}

TEST_F(MenuItemShortcutTest, AFixedShortcutDropsTheBindingAndTheFallback) {
    setShortcutFor(quit, name);
    setShortcut(quit, Shortcut(Key::k, Flags::command));
    expectKey("k", Flags::command);
    change(Shortcut(Key::d, Flags::command), name);
    expectKey("k", Flags::command);
    setShortcut(quit, std::nullopt);
    expectKey("", 0);
    // A key that types nothing here, and keypad keys, show no key but keep the modifiers.
    layout().selectLayout(talvori::sim::SimKeyboardLayout::Layout::german);
    setShortcut(quit, Shortcut(Key::equal, Flags::option));
    expectKey("", Flags::option);
    setShortcut(quit, Shortcut(Key::keypad5, Flags::command));
    expectKey("", Flags::command);
}

}  // namespace
}  // namespace GlobalShortcuts

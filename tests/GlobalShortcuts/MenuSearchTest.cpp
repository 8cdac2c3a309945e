#include <gtest/gtest.h>

#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/desktop/Menu.hpp"
#include "support/SimDesktopTest.hpp"

namespace GlobalShortcuts {
namespace {

using talvori::Menu;
using talvori::MenuItem;
using talvori::ModifierFlags;

constexpr std::uint64_t kCommand = ModifierFlags::command;
constexpr std::uint64_t kShift = ModifierFlags::shift;

std::shared_ptr<MenuItem> item(std::string title, std::string key, std::uint64_t mask = kCommand) {
    return std::make_shared<MenuItem>(std::move(title), std::move(key), mask);
}

class MenuSearchTest : public talvori::testing::SimDesktopTest {};

TEST_F(MenuSearchTest, AnUpperCaseKeyEquivalentStandsForShiftAndTheLetter) {
    Menu menu;
    const auto lowerRedo = item("Lower", "z");
    const auto upperRedo = item("Redo", "Z");
    menu.addItem(lowerRedo);
    menu.addItem(upperRedo);
    const Shortcut shiftCommandZ(Key::z, kShift | kCommand);
    EXPECT_EQ(shiftCommandZ.menuItemWithMatchingShortcut(menu), upperRedo);
    EXPECT_EQ(Shortcut(Key::z, kCommand).menuItemWithMatchingShortcut(menu), lowerRedo);
    EXPECT_EQ(Shortcut(Key::z, kCommand | ModifierFlags::option).menuItemWithMatchingShortcut(menu),
              nullptr);
    // The comparison is exact: Shift on an item written in lower case does not match either way.
    menu.removeItem(upperRedo);
    EXPECT_EQ(shiftCommandZ.menuItemWithMatchingShortcut(menu), nullptr);
}

TEST_F(MenuSearchTest, SearchesDepthFirstAndSkipsKeysWithoutAMenuCharacter) {
    Menu menu;
    auto file = item("File", "");
    file->setSubmenu(std::make_shared<Menu>("File"));
    const auto closeInFile = item("Close", "w");
    file->submenu()->addItem(closeInFile);
    menu.addItem(file);
    menu.addItem(item("Close Window", "w"));
    const auto help = item("Help", std::string("\uF704"));
    menu.addItem(help);
    EXPECT_EQ(Shortcut(Key::w, kCommand).menuItemWithMatchingShortcut(menu), closeInFile);
    EXPECT_EQ(Shortcut(Key::f1, kCommand).menuItemWithMatchingShortcut(menu), help);
    // A keypad key has no menu character, so no item can carry it.
    menu.addItem(item("Keypad", ""));
    EXPECT_EQ(Shortcut(Key::keypad5, kCommand).menuItemWithMatchingShortcut(menu), nullptr);
    // There is no menu bar to search on this desktop.
    EXPECT_EQ(talvori::platform().application().mainMenu(), nullptr);
}

}  // namespace
}  // namespace GlobalShortcuts

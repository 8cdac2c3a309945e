#include "GlobalShortcuts/ShortcutText.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "platform/desktop/ModifierFlags.hpp"

namespace GlobalShortcuts {

namespace {

using talvori::KeyboardLayout;

// A reader says the keys by the names on this desktop's keyboards: the option key is Alt, the
// command key Super, the key that deletes backwards Backspace; an arrow is said as one, whether
// its cap shows a sign or a word.
constexpr std::array<std::pair<std::string_view, const char*>, 22> kSpokenKeyNames{{
    {"\u2303", "Control"},    {"Ctrl", "Control"},      {"\u2325", "Alt"},
    {"\u21E7", "Shift"},      {"\u2318", "Super"},      {"\u2191", "Up Arrow"},
    {"\u2193", "Down Arrow"}, {"\u2190", "Left Arrow"}, {"\u2192", "Right Arrow"},
    {"\u21A9", "Return"},     {"\u232B", "Backspace"},  {"\u2326", "Delete"},
    {"\u21E5", "Tab"},        {"\u238B", "Escape"},     {"\u2196", "Home"},
    {"\u2198", "End"},        {"\u21DE", "Page Up"},    {"\u21DF", "Page Down"},
    {"Up", "Up Arrow"},       {"Down", "Down Arrow"},   {"Left", "Left Arrow"},
    {"Right", "Right Arrow"},
}};

std::string_view spokenWord(const std::string& key) {
    for (const auto& [symbol, word] : kSpokenKeyNames) {
        if (symbol == key) return word;
    }
    return key;
}

}  // namespace

std::vector<std::string> shortcutKeys(const Shortcut& shortcut) {
    const auto flags = shortcut.modifiers();
    const KeyboardLayout& layout = talvori::platform().keyboardLayout();
    auto keys = layout.modifierNames(flags);
    // The key part is taken from the key itself rather than cut off the description, so that a
    // globe or a combining mark on the key cannot fuse with a modifier.
    if (flags & talvori::ModifierFlags::function) {
        keys.push_back(CarbonModifiers::symbolicRepresentation(talvori::ModifierFlags::function));
    }
    keys.push_back(layout.keyName(shortcut.keyDescription()));
    return keys;
}

std::string shortcutText(const Shortcut& shortcut) {
    const KeyboardLayout& layout = talvori::platform().keyboardLayout();
    if (layout.modifierNaming() == KeyboardLayout::ModifierNaming::signs) {
        return shortcut.description();
    }
    return layout.shortcutText(shortcutKeys(shortcut));
}

std::string spokenShortcut(const Shortcut& shortcut) {
    std::string spoken;
    for (const auto& key : shortcutKeys(shortcut)) {
        if (!spoken.empty()) spoken += ' ';
        spoken += spokenWord(key);
    }
    return spoken;
}

}  // namespace GlobalShortcuts

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace GlobalShortcuts {
struct Shortcut;
}

namespace talvori {

// A shortcut as the row of key caps people see, one glyph per cap, and as the words a screen
// reader speaks.

// The caps of the modifiers in `flags` (key-event modifier flags), always in the order Control,
// Option, Shift, Command; Fn, Caps Lock and the keypad flag have none.
std::vector<std::string> modifierGlyphs(std::uint64_t flags);

// The modifier caps, a globe cap when the shortcut carries Fn, then one cap for the key: its own
// symbol, its capitalised character on the current layout, or U+FFFD. Never empty.
std::vector<std::string> keycapGlyphs(const GlobalShortcuts::Shortcut& shortcut);

// The caps as words ("Option Command N", "Control Option Command Down Arrow"); glyphs without a
// word (letters, digits, "F5") are spoken as they are.
std::string spokenShortcut(const GlobalShortcuts::Shortcut& shortcut);

}  // namespace talvori

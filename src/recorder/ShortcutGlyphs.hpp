#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GlobalShortcuts/ShortcutText.hpp"

namespace talvori {

// A shortcut as the row of key caps people see, one glyph per cap, and as the words a screen
// reader speaks.

// The caps of the modifiers in `flags` (key-event modifier flags), as the keyboard layout names
// them: signs in the order Control, Option, Shift, Command, or words in GTK's order; Fn, Caps
// Lock and the keypad flag have none.
std::vector<std::string> modifierGlyphs(std::uint64_t flags);

// One cap per key of shortcutKeys(). Never empty.
std::vector<std::string> keycapGlyphs(const GlobalShortcuts::Shortcut& shortcut);

// The caps as words ("Alt Super N", "Control Alt Super Down Arrow"), as the library's own
// recorder speaks them too.
using GlobalShortcuts::spokenShortcut;

}  // namespace talvori

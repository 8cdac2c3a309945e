#pragma once

#include <string>
#include <vector>

namespace GlobalShortcuts {

struct Shortcut;

// A shortcut as people read it on this desktop: one name per key, the modifiers first as the
// keyboard layout names them, then a globe when the shortcut carries Fn, then the key (its own
// symbol, its capitalised character on the current layout, or U+FFFD). Never empty.
std::vector<std::string> shortcutKeys(const Shortcut& shortcut);

// The keys as one text: "⇧⌘F" where modifiers are signs, "Shift+Super+F" where they are words.
std::string shortcutText(const Shortcut& shortcut);

// The keys as a screen reader says them ("Alt Super N", "Control Alt Super Down Arrow"); keys
// without a word (letters, digits, "F5") are said as they are.
std::string spokenShortcut(const Shortcut& shortcut);

}  // namespace GlobalShortcuts

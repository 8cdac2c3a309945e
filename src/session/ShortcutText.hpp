#pragma once

#include <string>
#include <vector>

namespace GlobalShortcuts {
struct Shortcut;
}

namespace talvori {

// A shortcut as people read it on this desktop: one name per key, the modifiers first as the
// keyboard layout names them, then a globe when the shortcut carries Fn, then the key (its own
// symbol, its capitalised character on the current layout, or U+FFFD). Never empty.
std::vector<std::string> shortcutKeys(const GlobalShortcuts::Shortcut& shortcut);

// The keys as one text: "⇧⌘F" where modifiers are signs, "Shift+Super+F" where they are words.
std::string shortcutText(const GlobalShortcuts::Shortcut& shortcut);

}  // namespace talvori

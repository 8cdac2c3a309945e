#include "session/ShortcutText.hpp"

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "platform/desktop/ModifierFlags.hpp"

namespace talvori {

std::vector<std::string> shortcutKeys(const GlobalShortcuts::Shortcut& shortcut) {
    const auto flags = shortcut.modifiers();
    const KeyboardLayout& layout = platform().keyboardLayout();
    auto keys = layout.modifierNames(flags);
    // The key part is taken from the key itself rather than cut off the description, so that a
    // globe or a combining mark on the key cannot fuse with a modifier.
    if (flags & ModifierFlags::function) {
        keys.push_back(
            GlobalShortcuts::CarbonModifiers::symbolicRepresentation(ModifierFlags::function));
    }
    keys.push_back(layout.keyName(shortcut.keyDescription()));
    return keys;
}

std::string shortcutText(const GlobalShortcuts::Shortcut& shortcut) {
    const KeyboardLayout& layout = platform().keyboardLayout();
    if (layout.modifierNaming() == KeyboardLayout::ModifierNaming::signs) {
        return shortcut.description();
    }
    return layout.shortcutText(shortcutKeys(shortcut));
}

}  // namespace talvori

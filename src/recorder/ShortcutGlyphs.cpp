#include "recorder/ShortcutGlyphs.hpp"

#include "platform/Platform.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "session/ShortcutText.hpp"

namespace talvori {

std::vector<std::string> modifierGlyphs(std::uint64_t flags) {
    return platform().keyboardLayout().modifierNames(flags);
}

std::vector<std::string> keycapGlyphs(const GlobalShortcuts::Shortcut& shortcut) {
    return shortcutKeys(shortcut);
}

}  // namespace talvori

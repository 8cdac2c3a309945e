#include "recorder/ShortcutGlyphs.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "platform/Platform.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "session/ShortcutText.hpp"

namespace talvori {

namespace {

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

std::string_view spokenWord(const std::string& glyph) {
    for (const auto& [symbol, word] : kSpokenKeyNames) {
        if (symbol == glyph) return word;
    }
    return glyph;
}

}  // namespace

std::vector<std::string> modifierGlyphs(std::uint64_t flags) {
    return platform().keyboardLayout().modifierNames(flags);
}

std::vector<std::string> keycapGlyphs(const GlobalShortcuts::Shortcut& shortcut) {
    return shortcutKeys(shortcut);
}

std::string spokenShortcut(const GlobalShortcuts::Shortcut& shortcut) {
    std::string spoken;
    for (const auto& glyph : keycapGlyphs(shortcut)) {
        if (!spoken.empty()) spoken += ' ';
        spoken += spokenWord(glyph);
    }
    return spoken;
}

}  // namespace talvori

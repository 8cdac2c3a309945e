#include "recorder/ShortcutGlyphs.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/desktop/ModifierFlags.hpp"

namespace talvori {

namespace {

constexpr std::array<std::pair<std::uint64_t, const char*>, 4> kModifierGlyphTable{{
    {ModifierFlags::control, "\u2303"},
    {ModifierFlags::option, "\u2325"},
    {ModifierFlags::shift, "\u21E7"},
    {ModifierFlags::command, "\u2318"},
}};

// A reader says the keys by the names on this desktop's keyboards: the option key is Alt, the
// command key Super, the key that deletes backwards Backspace.
constexpr std::array<std::pair<std::string_view, const char*>, 13> kSpokenKeyNames{{
    {"\u2303", "Control"},
    {"\u2325", "Alt"},
    {"\u21E7", "Shift"},
    {"\u2318", "Super"},
    {"\u2191", "Up Arrow"},
    {"\u2193", "Down Arrow"},
    {"\u2190", "Left Arrow"},
    {"\u2192", "Right Arrow"},
    {"\u21A9", "Return"},
    {"\u232B", "Backspace"},
    {"\u2326", "Delete"},
    {"\u21E5", "Tab"},
    {"\u238B", "Escape"},
}};

std::string_view spokenWord(const std::string& glyph) {
    for (const auto& [symbol, word] : kSpokenKeyNames) {
        if (symbol == glyph) return word;
    }
    return glyph;
}

}  // namespace

std::vector<std::string> modifierGlyphs(std::uint64_t flags) {
    std::vector<std::string> glyphs;
    for (const auto& [flag, glyph] : kModifierGlyphTable) {
        if (flags & flag) glyphs.emplace_back(glyph);
    }
    return glyphs;
}

std::vector<std::string> keycapGlyphs(const GlobalShortcuts::Shortcut& shortcut) {
    const auto flags = shortcut.modifiers();
    auto glyphs = modifierGlyphs(flags);
    // The key part is taken from the key itself rather than cut off the description, so that a
    // globe or a combining mark on the key cannot fuse with a modifier cap.
    if (flags & ModifierFlags::function) {
        glyphs.push_back(
            GlobalShortcuts::CarbonModifiers::symbolicRepresentation(ModifierFlags::function));
    }
    glyphs.push_back(shortcut.keyDescription());
    return glyphs;
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

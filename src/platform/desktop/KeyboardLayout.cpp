#include "platform/desktop/KeyboardLayout.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "platform/desktop/ModifierFlags.hpp"

namespace talvori {

namespace {

using Names = std::array<std::pair<std::uint64_t, const char*>, 4>;

constexpr Names kSigns{{
    {ModifierFlags::control, "\u2303"},
    {ModifierFlags::option, "\u2325"},
    {ModifierFlags::shift, "\u21E7"},
    {ModifierFlags::command, "\u2318"},
}};

constexpr Names kWords{{
    {ModifierFlags::shift, "Shift"},
    {ModifierFlags::control, "Ctrl"},
    {ModifierFlags::option, "Alt"},
    {ModifierFlags::command, "Super"},
}};

// The special keys GTK names in words; the function keys and Space are words already, and the
// keypad's keys GTK shows by their character.
constexpr std::array<std::pair<std::string_view, const char*>, 14> kKeyWords{{
    {"\u21A9", "Return"},
    {"\u232B", "Backspace"},
    {"\u2326", "Delete"},
    {"\u2196", "Home"},
    {"\u2198", "End"},
    {"\u21DE", "Page Up"},
    {"\u21DF", "Page Down"},
    {"\u21E5", "Tab"},
    {"\u238B", "Escape"},
    {"?\u20DD", "Help"},
    {"\u2191", "Up"},
    {"\u2193", "Down"},
    {"\u2190", "Left"},
    {"\u2192", "Right"},
}};

}  // namespace

std::string KeyboardLayout::keyName(const std::string& sign) const {
    if (modifierNaming() == ModifierNaming::words) {
        for (const auto& [symbol, word] : kKeyWords) {
            if (symbol == sign) return word;
        }
    }
    return sign;
}

std::vector<std::string> KeyboardLayout::modifierNames(std::uint64_t flags) const {
    std::vector<std::string> names;
    for (const auto& [flag, name] : modifierNaming() == ModifierNaming::words ? kWords : kSigns) {
        if (flags & flag) names.emplace_back(name);
    }
    return names;
}

std::string KeyboardLayout::shortcutText(const std::vector<std::string>& keys) const {
    const char* separator = modifierNaming() == ModifierNaming::words ? "+" : "";
    std::string text;
    for (const auto& key : keys) {
        if (!text.empty()) text += separator;
        text += key;
    }
    return text;
}

std::string KeyboardLayout::realModifierChoice() const {
    return modifierNaming() == ModifierNaming::words ? "Ctrl, Alt or Super"
                                                     : "\u2318, \u2325 or \u2303";
}

}  // namespace talvori

#include "platform/desktop/KeyboardLayout.hpp"

#include <array>
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

}  // namespace

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

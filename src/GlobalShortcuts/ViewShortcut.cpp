#include "GlobalShortcuts/ViewShortcut.hpp"

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/SpecialKey.hpp"

namespace GlobalShortcuts {

namespace {

using talvori::ui::Key;
using talvori::ui::Modifiers;

std::optional<Key> namedKey(SpecialKey key) {
    switch (key) {
        case SpecialKey::returnKey:
            return Key::returnKey;
        case SpecialKey::deleteKey:
            return Key::deleteBackward;
        case SpecialKey::deleteForward:
            return Key::deleteForward;
        case SpecialKey::end:
            return Key::end;
        case SpecialKey::escape:
            return Key::escape;
        case SpecialKey::home:
            return Key::home;
        case SpecialKey::space:
            return Key::space;
        case SpecialKey::tab:
            return Key::tab;
        case SpecialKey::upArrow:
            return Key::upArrow;
        case SpecialKey::rightArrow:
            return Key::rightArrow;
        case SpecialKey::downArrow:
            return Key::downArrow;
        case SpecialKey::leftArrow:
            return Key::leftArrow;
        default:
            return std::nullopt;
    }
}

Modifiers viewModifiers(std::int64_t carbon) {
    Modifiers modifiers = Modifiers::none;
    if (carbon & CarbonModifiers::shift) modifiers = modifiers | Modifiers::shift;
    if (carbon & CarbonModifiers::control) modifiers = modifiers | Modifiers::control;
    if (carbon & CarbonModifiers::option) modifiers = modifiers | Modifiers::option;
    if (carbon & CarbonModifiers::command) modifiers = modifiers | Modifiers::command;
    return modifiers;
}

}  // namespace

std::optional<talvori::ui::KeyboardShortcut> toKeyboardShortcut(const Shortcut& shortcut) {
    if (shortcut.carbonModifiers & CarbonModifiers::function) return std::nullopt;
    const auto modifiers = viewModifiers(shortcut.carbonModifiers);
    if (const auto special = SpecialKeys::forKeyCode(shortcut.carbonKeyCode)) {
        const auto key = namedKey(*special);
        if (!key) return std::nullopt;
        return talvori::ui::KeyboardShortcut{"", modifiers, *key};
    }
    auto character = shortcut.keyToCharacter();
    if (!character) return std::nullopt;
    return talvori::ui::KeyboardShortcut{std::move(*character), modifiers};
}

}  // namespace GlobalShortcuts

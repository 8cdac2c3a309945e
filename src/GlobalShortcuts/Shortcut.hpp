#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GlobalShortcuts/Key.hpp"
#include "platform/core/JsonValue.hpp"
#include "platform/desktop/Event.hpp"

namespace talvori {
class KeyboardLayout;
class Menu;
class MenuItem;
}  // namespace talvori

namespace GlobalShortcuts {

// One key and a set of modifiers, in the numbering of hot-key registration: a virtual key code and
// a Carbon modifier mask. Every constructor keeps only the five modifier bits; a decoded value
// keeps what was stored.
struct Shortcut {
    std::int64_t carbonKeyCode = 0;
    std::int64_t carbonModifiers = 0;

    Shortcut(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);
    // `modifiers` are key-event modifier flags.
    Shortcut(Key key, std::uint64_t modifiers);

    // The shortcut of a key-down or key-up event; absent for any other event. The function flag is
    // left out: keyboards add it to the keys they reach through Fn.
    static std::optional<Shortcut> fromEvent(const talvori::Event& event);

    bool operator==(const Shortcut&) const = default;
    auto operator<=>(const Shortcut&) const = default;

    Key key() const { return Key(carbonKeyCode); }
    // The modifier flags of the five Carbon bits.
    std::uint64_t modifiers() const;

    // {"carbonKeyCode": 3, "carbonModifiers": 768}
    talvori::JsonValue toJson() const;
    // Both members must be integers; other members are ignored; the values are kept as stored.
    static std::optional<Shortcut> fromJson(const talvori::JsonValue& json);
    // Compact JSON text, the stored form.
    std::string jsonText() const;
    static std::optional<Shortcut> fromJsonText(const std::string& text);

    // How people see it: the modifier symbols, then the key's own symbol or the capitalised
    // character the current layout puts on it, or U+FFFD when it has none (⇧⌘F, ⌥⌘↑, ⌘1⃣).
    std::string description() const;
    // The key part of the description alone: the key's own symbol or its capitalised character.
    std::string keyDescription() const;
    // The key's text as a menu item's key equivalent: the special key's, else the layout's
    // character in lower case; absent for keypad keys and keys without a character.
    std::optional<std::string> nsMenuItemKeyEquivalent() const;
    // The one character the current layout types on this key; absent for special keys.
    std::optional<std::string> keyToCharacter() const;
    std::optional<std::string> keyToCharacter(const talvori::KeyboardLayout& layout) const;

    // Whether the system already uses this combination. Plain F12 never counts as taken.
    bool isTakenBySystem() const;
    // The combinations the system reserves now, read afresh.
    static std::vector<Shortcut> systemShortcuts();
    // The first item of `menu` whose key equivalent and modifier mask are this shortcut, searching
    // each item's submenu right after the item; none when no item has it.
    std::shared_ptr<talvori::MenuItem> menuItemWithMatchingShortcut(
        const talvori::Menu& menu) const;

  private:
    struct Raw {};
    Shortcut(Raw, std::int64_t keyCode, std::int64_t modifiers)
        : carbonKeyCode(keyCode), carbonModifiers(modifiers) {}
};

// Whether the process runs in an application sandbox; read once, from the environment.
bool isSandboxed();

}  // namespace GlobalShortcuts

template <>
struct std::hash<GlobalShortcuts::Shortcut> {
    std::size_t operator()(const GlobalShortcuts::Shortcut& shortcut) const noexcept {
        const std::size_t code = std::hash<std::int64_t>{}(shortcut.carbonKeyCode);
        return code ^ (std::hash<std::int64_t>{}(shortcut.carbonModifiers) + 0x9E3779B97F4A7C15ULL +
                       (code << 6) + (code >> 2));
    }
};

#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace GlobalShortcuts {

// The 53 keys that have a display of their own instead of the character a layout puts on them.
enum class SpecialKey : std::uint8_t {
    returnKey,
    deleteKey,
    deleteForward,
    end,
    escape,
    help,
    home,
    space,
    tab,
    pageUp,
    pageDown,
    upArrow,
    rightArrow,
    downArrow,
    leftArrow,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    f13,
    f14,
    f15,
    f16,
    f17,
    f18,
    f19,
    f20,
    keypad0,
    keypad1,
    keypad2,
    keypad3,
    keypad4,
    keypad5,
    keypad6,
    keypad7,
    keypad8,
    keypad9,
    keypadClear,
    keypadDecimal,
    keypadDivide,
    keypadEnter,
    keypadEquals,
    keypadMinus,
    keypadMultiply,
    keypadPlus,
};

struct SpecialKeys {
    // The special key of `keyCode`, if it has one.
    static std::optional<SpecialKey> forKeyCode(std::int64_t keyCode);
    // How the key is shown in a shortcut, e.g. "↩", "F5", "1⃣"; space shows the localised word.
    static std::string presentableDescription(SpecialKey key);
    // The key's text as a menu item's key equivalent; absent for keypad keys.
    static std::optional<std::string> keyEquivalent(SpecialKey key);
};

}  // namespace GlobalShortcuts

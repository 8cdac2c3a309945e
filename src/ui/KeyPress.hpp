#pragma once

#include <cstdint>
#include <string>

namespace talvori::ui {

enum class Modifiers : std::uint8_t {
    none = 0,
    shift = 1,
    control = 2,
    option = 4,
    command = 8,
};

inline constexpr Modifiers operator|(Modifiers a, Modifiers b) {
    return static_cast<Modifiers>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
inline constexpr bool contains(Modifiers set, Modifiers flag) {
    return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(flag)) != 0;
}

// The keys views react to by name; every other key arrives as its characters.
enum class Key {
    character,
    returnKey,
    escape,
    deleteBackward,
    deleteForward,
    tab,
    space,
    leftArrow,
    rightArrow,
    upArrow,
    downArrow,
    home,
    end,
    pageUp,
    pageDown,
    insert,
};

// A key press delivered to the key window.
struct KeyPress {
    Key key = Key::character;
    // The text the key types, without modifiers applied ("n" for Command-N).
    std::string characters;
    Modifiers modifiers = Modifiers::none;
    bool isRepeat = false;

    static KeyPress character(std::string text, Modifiers modifiers = Modifiers::none) {
        return {Key::character, std::move(text), modifiers, false};
    }
    static KeyPress named(Key key, Modifiers modifiers = Modifiers::none) {
        return {key, key == Key::space ? " " : "", modifiers, false};
    }
    bool hasCommand() const { return contains(modifiers, Modifiers::command); }
    bool hasShift() const { return contains(modifiers, Modifiers::shift); }
};

// A key and modifiers that trigger a button while its window is key: a key that types `key`, or,
// when `namedKey` is set, that named key (an arrow, Return, Escape...).
struct KeyboardShortcut {
    std::string key;
    Modifiers modifiers = Modifiers::command;
    Key namedKey = Key::character;
    bool operator==(const KeyboardShortcut&) const = default;

    bool matches(const KeyPress& press) const;
    // As screen readers read key bindings: ";;<Super>n", ";;<Control>Page_Down".
    std::string accessibilityKeyBinding() const;
};

}  // namespace talvori::ui

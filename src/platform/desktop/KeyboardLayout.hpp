#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvori {

// The keyboard layout as shortcuts show it: the character a key types, taken from the current
// layout that can type Latin letters (so a Latin layout also while a Cyrillic one is selected),
// fetched afresh on every call so that a change of layout shows at once; and the names of the
// modifier keys, as the desktop's own settings write them.
class KeyboardLayout {
  public:
    // Signs (⌃⌥⇧⌘, ↩, ⌫) for the keyboards that carry them; words ("Shift+Super+F",
    // "Ctrl+Home") elsewhere, for the modifiers and the special keys alike.
    enum class ModifierNaming { signs, words };

    virtual ~KeyboardLayout() = default;

    // What `keyCode` types without modifiers, as UTF-8: empty for a dead key or a key that types
    // nothing; absent when there is no such layout or the translation fails.
    virtual std::optional<std::string> characters(std::uint16_t keyCode) const = 0;

    virtual ModifierNaming modifierNaming() const { return ModifierNaming::signs; }

    // The names of the modifiers in `flags` (key-event modifier flags): signs in the order
    // Control, Option, Shift, Command, or words in the order GTK writes them (Shift, Ctrl, Alt,
    // Super). Fn, Caps Lock and the keypad flag have none.
    std::vector<std::string> modifierNames(std::uint64_t flags) const;
    // The name of a key shown by its sign ("↩", "⌫", "↖", "↑"): the sign itself, or the word GTK
    // writes for it ("Return", "Backspace", "Home", "Up") where modifiers are words. Anything
    // else is returned as it is.
    std::string keyName(const std::string& sign) const;
    // Key names as one shortcut text: signs side by side ("⌥⌘N"), words joined by "+"
    // ("Alt+Super+N").
    std::string shortcutText(const std::vector<std::string>& keys) const;
    // The modifiers that make a shortcut safe from firing while the user types, as a choice
    // ("⌘, ⌥ or ⌃", "Ctrl, Alt or Super").
    std::string realModifierChoice() const;
};

}  // namespace talvori

#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace talvori {

// The keyboard layout as shortcuts show it: the character a key types, taken from the current
// layout that can type Latin letters (so a Latin layout also while a Cyrillic one is selected),
// fetched afresh on every call so that a change of layout shows at once.
class KeyboardLayout {
  public:
    virtual ~KeyboardLayout() = default;

    // What `keyCode` types without modifiers, as UTF-8: empty for a dead key or a key that types
    // nothing; absent when there is no such layout or the translation fails.
    virtual std::optional<std::string> characters(std::uint16_t keyCode) const = 0;
};

}  // namespace talvori

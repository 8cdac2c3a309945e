#pragma once

#include <cstdint>
#include <string>

#include "platform/desktop/HotKeyModifiers.hpp"

namespace GlobalShortcuts {

// The Carbon modifier mask that hot-key registration takes and stored shortcuts keep, against the
// modifier flags of key events (talvori::ModifierFlags).
struct CarbonModifiers {
    static constexpr std::int64_t command = talvori::HotKeyModifiers::command;
    static constexpr std::int64_t shift = talvori::HotKeyModifiers::shift;
    static constexpr std::int64_t option = talvori::HotKeyModifiers::option;
    static constexpr std::int64_t control = talvori::HotKeyModifiers::control;
    static constexpr std::int64_t function = talvori::HotKeyModifiers::function;

    // The mask of the five modifiers present in `flags` (only the low 32 bits are read).
    static std::int64_t fromFlags(std::uint64_t flags) {
        return talvori::HotKeyModifiers::fromEventFlags(flags);
    }
    // The flags of the five modifiers whose bits are present (only the low 32 bits count).
    static std::uint64_t toFlags(std::int64_t carbon) {
        return talvori::HotKeyModifiers::toEventFlags(static_cast<std::uint64_t>(carbon));
    }
    // The mask with every bit but the five removed.
    static std::int64_t normalized(std::int64_t carbon) { return fromFlags(toFlags(carbon)); }
    // The normalised mask, without the function bit when `keyCode` is a key whose Fn flag carries
    // no meaning.
    static std::int64_t forComparison(std::int64_t keyCode, std::int64_t carbon);

    // ⌃⌥⇧⌘ and the globe sign, in that order whatever the order of the flags.
    static std::string symbolicRepresentation(std::uint64_t flags);
};

}  // namespace GlobalShortcuts

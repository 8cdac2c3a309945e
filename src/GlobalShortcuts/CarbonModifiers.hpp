#pragma once

#include <cstdint>
#include <string>

namespace GlobalShortcuts {

// Key events carry modifier flags; hot-key registration and stored shortcuts use the Carbon
// modifier mask. Only five modifiers exist in both numberings: caps lock, the numeric-pad and help
// flags and any device-dependent bit are dropped going one way, other Carbon bits going the other.
struct CarbonModifiers {
    static constexpr std::int64_t command = 0x100;
    static constexpr std::int64_t shift = 0x200;
    static constexpr std::int64_t option = 0x800;
    static constexpr std::int64_t control = 0x1000;
    static constexpr std::int64_t function = 0x20000;

    // Modifier flags of key events.
    struct Flags {
        static constexpr std::uint64_t capsLock = 0x10000;
        static constexpr std::uint64_t shift = 0x20000;
        static constexpr std::uint64_t control = 0x40000;
        static constexpr std::uint64_t option = 0x80000;
        static constexpr std::uint64_t command = 0x100000;
        static constexpr std::uint64_t numericPad = 0x200000;
        static constexpr std::uint64_t help = 0x400000;
        static constexpr std::uint64_t function = 0x800000;
        static constexpr std::uint64_t deviceIndependentFlagsMask = 0xFFFF0000;
    };

    // The Carbon mask of the five modifiers present in `flags` (only the low 32 bits are read).
    static std::int64_t fromFlags(std::uint64_t flags);
    // The flags of the five modifiers whose Carbon bits are present (only the low 32 bits count).
    static std::uint64_t toFlags(std::int64_t carbon);
    // The mask with every bit but the five removed.
    static std::int64_t normalized(std::int64_t carbon) { return fromFlags(toFlags(carbon)); }
    // The mask without the function bit when `keyCode` is a key whose Fn flag carries no meaning.
    static std::int64_t forComparison(std::int64_t keyCode, std::int64_t carbon);

    // ⌃⌥⇧⌘ and the globe sign, in that order whatever the order of the flags.
    static std::string symbolicRepresentation(std::uint64_t flags);
};

}  // namespace GlobalShortcuts

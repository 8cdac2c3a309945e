#pragma once

#include <cstdint>

namespace talvori {

// The modifier mask hot keys are registered with (the Carbon numbering), and its correspondence
// with the modifier flags of key events. Only five modifiers exist in both: caps lock, the
// numeric-pad and help flags and device-dependent bits are dropped one way, other mask bits the
// other way.
struct HotKeyModifiers {
    static constexpr std::uint32_t command = 0x100;
    static constexpr std::uint32_t shift = 0x200;
    static constexpr std::uint32_t option = 0x800;
    static constexpr std::uint32_t control = 0x1000;
    static constexpr std::uint32_t function = 0x20000;

    // The mask of the five modifiers present in `flags`; only their low 32 bits are read.
    static std::uint32_t fromEventFlags(std::uint64_t flags);
    // The flags of the five modifiers present in `mask`; only its low 32 bits are read.
    static std::uint64_t toEventFlags(std::uint64_t mask);
};

}  // namespace talvori

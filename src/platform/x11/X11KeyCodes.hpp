#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace talvori::x11 {

// The program's virtual key codes (the reference keyboard's numbering: Return 36, Escape 53, the
// arrows 123-126) against X key codes. The table names physical keys by their Linux input codes
// (X key code - 8 under the evdev driver), so a key keeps its code whatever the layout, as the
// virtual key codes do.
struct X11KeyCodes {
    static constexpr std::uint32_t kEvdevOffset = 8;

    static std::optional<std::uint16_t> virtualKeyCode(std::uint32_t xKeyCode);
    // Every X key code of the key; empty when no key has the code. The first is the main one.
    static std::vector<std::uint32_t> xKeyCodes(std::uint16_t virtualKeyCode);
};

}  // namespace talvori::x11

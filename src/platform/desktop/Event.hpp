#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Geometry.hpp"
#include "platform/desktop/EventType.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "platform/desktop/SpecialKey.hpp"

namespace talvori {

// One mouse or keyboard event.
//
// Key events carry the virtual key code of the US layout (Return 36, Escape 53, the arrows
// 123-126), the typed characters, the characters ignoring modifiers (Shift still applied), and
// exactly the modifier keys the user holds: unlike some desktops, arrow and function keys do NOT
// add the numeric-pad or function flag, so a plain arrow arrives with no flags.
struct Event {
    EventType type = EventType::mouseMoved;
    // Seconds on the continuous clock.
    double timestamp = 0;
    // Where the pointer was, in the global space (y up).
    Point location;
    // The window of ours the event is aimed at; 0 for none (another process's window, the desktop).
    std::uint32_t windowNumber = 0;
    // The location in that window's content (top-left origin, y down); (0, 0) without a window.
    Point locationInWindow;
    int clickCount = 0;

    std::uint16_t keyCode = 0;
    std::string characters;
    std::string charactersIgnoringModifiers;
    std::uint64_t modifierFlags = 0;
    bool isARepeat = false;
    std::optional<SpecialKey> specialKey;

    // Scroll wheel events: how far to scroll, in points, or in notches of a wheel that turns in
    // steps when the deltas are not precise; positive shows what lies further down.
    double scrollingDeltaY = 0;
    bool hasPreciseScrollingDeltas = true;

    bool isMouse() const;
    bool isKey() const { return type == EventType::keyDown || type == EventType::keyUp; }
    std::uint64_t deviceIndependentFlags() const {
        return modifierFlags & ModifierFlags::deviceIndependentMask;
    }
    bool matches(EventMask mask) const { return (mask & eventMaskBit(type)) != 0; }

    // Key codes of the US layout for keys without text; absent for the others.
    static std::optional<SpecialKey> specialKeyForKeyCode(std::uint16_t keyCode);
};

}  // namespace talvori

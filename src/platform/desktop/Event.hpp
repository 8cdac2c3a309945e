#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Geometry.hpp"

namespace talvori {

enum class EventType : std::uint32_t {
    leftMouseDown = 1,
    leftMouseUp = 2,
    rightMouseDown = 3,
    rightMouseUp = 4,
    mouseMoved = 5,
    leftMouseDragged = 6,
    rightMouseDragged = 7,
    mouseEntered = 8,
    mouseExited = 9,
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
    scrollWheel = 22,
    // Delivered to an event tap only: the system switched the tap off.
    tapDisabledByTimeout = 0xFFFFFFFE,
    tapDisabledByUserInput = 0xFFFFFFFF,
};

using EventMask = std::uint64_t;

// The bit of one event type in an EventMask (1 << type).
constexpr EventMask eventMaskBit(EventType type) {
    return static_cast<std::uint32_t>(type) < 64 ? EventMask{1} << static_cast<std::uint32_t>(type)
                                                 : 0;
}

// Device-independent modifier flags.
struct ModifierFlags {
    static constexpr std::uint64_t capsLock = 0x10000;
    static constexpr std::uint64_t shift = 0x20000;
    static constexpr std::uint64_t control = 0x40000;
    static constexpr std::uint64_t option = 0x80000;
    static constexpr std::uint64_t command = 0x100000;
    static constexpr std::uint64_t numericPad = 0x200000;
    static constexpr std::uint64_t help = 0x400000;
    static constexpr std::uint64_t function = 0x800000;
    static constexpr std::uint64_t deviceIndependentMask = 0xFFFF0000;
};

// Keys that produce no text of their own.
enum class SpecialKey {
    upArrow,
    downArrow,
    leftArrow,
    rightArrow,
    tab,
    backTab,
    carriageReturn,
    enter,
    escape,
    backspace,
    deleteForward,
    home,
    end,
    pageUp,
    pageDown,
    help,
    f1,  // f1 ... f20 follow in order
};

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

    // Scroll wheel events: how far to scroll, in points; positive shows what lies further down.
    double scrollingDeltaY = 0;

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

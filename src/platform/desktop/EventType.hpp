#pragma once

#include <cstdint>

namespace talvori {

// The kinds of mouse and keyboard events.
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
    // The middle button.
    otherMouseDown = 25,
    otherMouseUp = 26,
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

}  // namespace talvori

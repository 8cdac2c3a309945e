#pragma once

namespace GlobalShortcuts {

// The two events of a hot key.
enum class EventType {
    keyDown,  // pressed
    keyUp,    // released
};

}  // namespace GlobalShortcuts

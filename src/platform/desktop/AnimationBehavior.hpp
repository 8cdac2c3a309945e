#pragma once

namespace talvori {

// How the window server animates a window's appearing and disappearing. Stored; the simulation
// shows and hides windows at once whatever it says.
struct AnimationBehavior {
    // The window server's own choice for the kind of window.
    static constexpr int automatic = 0;
    // No animation: the window appears and disappears in one frame.
    static constexpr int none = 2;
};

}  // namespace talvori

#pragma once

namespace talvori {

// How a window takes part in virtual desktops and window cycling. Stored; virtual desktops are
// not modelled by the simulation.
struct CollectionBehavior {
    static constexpr unsigned canJoinAllSpaces = 1;
    static constexpr unsigned moveToActiveSpace = 2;
    static constexpr unsigned stationary = 16;
    static constexpr unsigned ignoresCycle = 64;
    static constexpr unsigned fullScreenAuxiliary = 256;
};

}  // namespace talvori

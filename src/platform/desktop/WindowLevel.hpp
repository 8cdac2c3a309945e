#pragma once

namespace talvori {

// Window levels: a window is above every window of a lower level, whatever the order inside the
// levels. Backends without levels emulate them by stacking.
struct WindowLevel {
    static constexpr int desktop = -2147483623;
    static constexpr int normal = 0;
    static constexpr int floating = 3;
    // Application-modal dialogs.
    static constexpr int modalPanel = 8;
    static constexpr int dock = 20;
    static constexpr int mainMenu = 24;
    static constexpr int status = 25;
    static constexpr int popUpMenu = 101;
};

}  // namespace talvori

#pragma once

namespace talvori {

// Options of a window-list read, as bits.
struct WindowListOption {
    static constexpr unsigned all = 0;
    static constexpr unsigned onScreenOnly = 1;
    static constexpr unsigned excludeDesktopElements = 16;
};

}  // namespace talvori

#pragma once

#include "platform/desktop/CollectionBehavior.hpp"

namespace talvori {

// Style bits of a window, given at creation.
struct StyleMask {
    static constexpr unsigned borderless = 0;
    static constexpr unsigned titled = 1;
    static constexpr unsigned closable = 2;
    static constexpr unsigned miniaturizable = 4;
    static constexpr unsigned resizable = 8;
    // Clicking the panel makes it key without activating the application.
    static constexpr unsigned nonactivatingPanel = 128;
    static constexpr unsigned fullSizeContentView = 32768;
};

}  // namespace talvori

#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/Point.hpp"
#include "platform/core/Size.hpp"

namespace talvori {

// One of the background windows of the first-run picture of Focus, in the picture's coordinates
// (top left, y down).
struct FirstRunDemoWindow {
    std::int64_t id = 0;
    Size size;
    // The window's top-left corner from the picture's.
    Point offset;
    // How far the title-bar dots sit from the window's leading edge.
    double chromeLeading = 0;

    bool operator==(const FirstRunDemoWindow&) const = default;

    // The two windows behind the focused one, back to front. Both overlap the focused window,
    // and their dots stay clear of it.
    static const std::vector<FirstRunDemoWindow>& backgroundWindows();
};

}  // namespace talvori

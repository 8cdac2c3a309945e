#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/core/Geometry.hpp"
#include "platform/desktop/WindowInfo.hpp"

namespace talvori::sim {

class SimPanel;

// A window of the simulated window server. For our own panels the panel holds the frame, alpha and
// title; the record only mirrors the level for stacking.
struct SimWindow {
    std::uint32_t number = 0;
    std::int32_t ownerPID = 0;
    std::string title;
    // Global space, bottom-left origin.
    Rect frame;
    int level = 0;
    double alpha = 1;
    bool isOnScreen = false;
    bool isDesktopElement = false;
    // Status item button windows: ours, never key, clicks go to the item.
    bool isStatusItem = false;
    std::weak_ptr<SimPanel> panel;
    // Fault injection: edits this window's entry in every window-list read.
    std::function<void(WindowInfo&)> editListEntry;
};

}  // namespace talvori::sim

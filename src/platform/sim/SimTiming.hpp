#pragma once

namespace talvori::sim {

// Delays, in seconds, between the parts of a focus change in the simulated session. Real window
// servers let the window list lag behind the Accessibility focus, and the workspace's activation
// notice behind both; these make that lag testable. 0 means: the Accessibility notifications on
// the next turn, the reorder at once, the frontmost application at once with its notification on
// the next turn.
struct SimTiming {
    // Focus change -> "AXFocusedWindowChanged", "AXMoved" and the other observer callbacks.
    double accessibilityNotificationDelay = 0;
    // Focus change -> the clicked or activated windows rise in the window list.
    double windowListReorderDelay = 0;
    // Focus change -> the workspace's frontmost application changes and it posts the notice.
    double activationNotificationDelay = 0;
};

}  // namespace talvori::sim

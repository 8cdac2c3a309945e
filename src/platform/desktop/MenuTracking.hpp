#pragma once

namespace talvori {

// Posted through the notification centre, on the main thread, when any menu of the program starts
// and stops tracking the keyboard and pointer. While a menu tracks, the system's hot keys do not
// reach the program: keys go to the menu.
struct MenuTracking {
    static constexpr const char* kDidBeginTrackingNotification = "MenuDidBeginTracking";
    static constexpr const char* kDidEndTrackingNotification = "MenuDidEndTracking";
};

}  // namespace talvori

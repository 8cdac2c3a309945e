#include "app/AppDelegate.hpp"

#include "platform/Platform.hpp"

namespace talvori {

AppDelegate::AppDelegate() {
    platform().runLoop().assertMainThread("TalvoriApp");
}

void AppDelegate::applicationDidFinishLaunching() {
    platform().runLoop().assertMainThread("TalvoriApp");
    startupDriverLatch.finishLaunching();
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() {
    platform().runLoop().assertMainThread("TalvoriApp");
    if (isStartupDecisionPending()) return false;
    return !isRuntimeRunning();
}

}  // namespace talvori

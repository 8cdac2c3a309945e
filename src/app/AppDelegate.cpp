#include "app/AppDelegate.hpp"

#include "platform/Platform.hpp"

namespace talvori {

AppDelegate::AppDelegate() {
    platform().runLoop().assertMainThread();
}

void AppDelegate::applicationDidFinishLaunching() {
    platform().runLoop().assertMainThread();
    startupDriverLatch.finishLaunching();
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() {
    platform().runLoop().assertMainThread();
    if (isStartupDecisionPending()) return false;
    return !isRuntimeRunning();
}

void AppDelegate::applicationShouldHandleReopen() {
    platform().runLoop().assertMainThread();
    showRunningApplication();
}

}  // namespace talvori

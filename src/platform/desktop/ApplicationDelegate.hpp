#pragma once

namespace talvori {

// What the application object asks of the program about its own life.
class ApplicationDelegate {
  public:
    virtual ~ApplicationDelegate() = default;

    virtual void applicationDidFinishLaunching() {}
    // Asked when the last open scene window closes (panels do not count); true terminates.
    virtual bool applicationShouldTerminateAfterLastWindowClosed() { return false; }
    // Told when the program is started again while it runs: that start ends, and this one shows
    // itself instead.
    virtual void applicationShouldHandleReopen() {}
};

}  // namespace talvori

#pragma once

#include <gtest/gtest.h>

#include "platform/Platform.hpp"

namespace talvori::testing {

// Installs a fresh virtual platform for each test and removes it afterwards.
class PlatformTest : public ::testing::Test {
  protected:
    PlatformTest() { Platform::install(Platform::makeVirtual()); }
    ~PlatformTest() override { Platform::uninstall(); }

    RunLoop& loop() const { return platform().runLoop(); }
    VirtualClock& clock() const { return *platform().virtualClock(); }
    double now() const { return platform().clock().now(); }
    void advance(double seconds) const { clock().advance(seconds); }
    void runUntilIdle() const { clock().runUntilIdle(); }
    CaptureLogSink& logs() const { return *platform().logCapture(); }
};

}  // namespace talvori::testing

#pragma once

#include <memory>
#include <string>

#include "platform/atspi/harness/AtspiTestBus.hpp"
#include "platform/atspi/harness/AtspiTestReader.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori {

class RuntimeCoordinator;
class WindowManager;
namespace x11 {
class X11Desktop;
}

namespace bench {

// A private X server with its session bus and the desktop's accessibility bus, the program's
// runtime on it, and (once started) a reader on the accessibility library in a process of its own.
class X11ReaderDesktop {
  public:
    X11ReaderDesktop();
    virtual ~X11ReaderDesktop();

    const std::string& error() const { return error_; }
    const std::string& display() const { return session_.display(); }
    testing::X11TestSession& session() { return session_; }
    testing::X11TestBus& sessionBus() { return bus_; }
    testing::AtspiTestBus& accessibilityBus() { return accessibility_; }
    // Turns the accessibility bus on and starts a reader, until the program has registered there.
    bool startReader();
    // Another reader in place of the one there, which has never met the program.
    bool newReader();

    std::shared_ptr<x11::X11Desktop> desktop;
    std::unique_ptr<testing::X11TestDriver> driver;
    std::shared_ptr<RuntimeCoordinator> coordinator;
    std::shared_ptr<WindowManager> manager;
    std::unique_ptr<testing::AtspiTestReader> reader;

  private:
    testing::X11TestSession session_{testing::X11TestSession::Options{}};
    testing::X11TestBus bus_;
    testing::AtspiTestBus accessibility_;
    std::string error_;
};

}  // namespace bench
}  // namespace talvori

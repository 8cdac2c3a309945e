#pragma once

#include <cstdint>
#include <memory>

namespace talvori {

class WindowManager;

// How the first-run flow starts the runtime when it completes.
class FirstRunRuntimeStartEffect {
  public:
    virtual ~FirstRunRuntimeStartEffect() = default;
    // The running window manager, if the runtime runs.
    virtual std::shared_ptr<WindowManager> runningWindowManager() const = 0;
    // Runtime starts the flow has asked for.
    virtual std::int64_t startCount() const = 0;
    virtual void countStart() = 0;
    // The running window manager, made on the first call.
    virtual std::shared_ptr<WindowManager> startRuntime() = 0;
};

}  // namespace talvori

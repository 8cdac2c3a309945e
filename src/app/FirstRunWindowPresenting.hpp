#pragma once

#include <memory>

namespace talvori {

class Panel;

// Brings the first-run window to the front.
class FirstRunWindowPresenting {
  public:
    virtual ~FirstRunWindowPresenting() = default;
    // The first-run window, once captured and while it exists.
    virtual std::shared_ptr<Panel> window() const = 0;
    virtual void setWindow(const std::shared_ptr<Panel>& window) = 0;
    // True when the application is active and the window key afterwards.
    virtual bool present() = 0;
};

}  // namespace talvori

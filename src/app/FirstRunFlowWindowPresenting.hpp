#pragma once

#include <memory>

namespace talvori {

class Panel;

// What the first-run window's capture reports to: the window it found, and a request to bring it
// to the front.
class FirstRunFlowWindowPresenting {
  public:
    virtual ~FirstRunFlowWindowPresenting() = default;
    virtual void adoptFirstRunWindow(const std::shared_ptr<Panel>& window) = 0;
    virtual bool focusFirstRunWindow() = 0;
};

}  // namespace talvori

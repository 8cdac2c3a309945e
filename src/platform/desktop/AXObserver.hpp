#pragma once

#include <functional>
#include <string>

#include "platform/desktop/AXElement.hpp"

namespace talvori {

// Notifications about one process's interface. Callbacks arrive on the main loop, after the change,
// only while the observer is started; never inside a call of ours.
//
// For "AXFocusedWindowChanged" and "AXMainWindowChanged" the callback's element is the window that
// gained focus; for "AXMoved", "AXResized" and "AXUIElementDestroyed" it is the window concerned. A
// registration on the application element covers all of its windows.
class AXObserver {
  public:
    using Callback = std::function<void(const AXElement& element, const std::string& notification)>;

    virtual ~AXObserver() = default;

    virtual AXError addNotification(const AXElement& element, const std::string& notification) = 0;
    virtual AXError removeNotification(const AXElement& element,
                                       const std::string& notification) = 0;
    // Adds the observer's source to the main loop (common modes).
    virtual void start() = 0;
    // Removes the source: no callback runs after this returns, even one already due.
    virtual void stop() = 0;
};

}  // namespace talvori

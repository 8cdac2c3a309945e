#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/desktop/AXObserver.hpp"

namespace talvori::x11 {

class X11Accessibility;

// Notifications about one process's windows, which X11Accessibility derives from the window
// manager's events and hands to each started observer whose registrations match.
class X11AXObserver final : public AXObserver {
  public:
    X11AXObserver(std::int32_t pid, Callback callback, std::weak_ptr<X11Accessibility> owner);

    AXError addNotification(const AXElement& element, const std::string& notification) override;
    AXError removeNotification(const AXElement& element, const std::string& notification) override;
    void start() override { started_ = true; }
    void stop() override { started_ = false; }

    std::int32_t pid() const { return pid_; }
    // Whether `window` (a window element of this process) is watched for `notification`, by
    // itself or through its application.
    bool wants(const AXElement& window, const std::string& notification) const;
    // The window elements registered by themselves.
    std::set<AXElement> watchedWindows() const;
    void deliver(const AXElement& window, const std::string& notification);

  private:
    std::int32_t pid_;
    Callback callback_;
    std::weak_ptr<X11Accessibility> owner_;
    std::set<std::pair<AXElement, std::string>> registrations_;
    bool started_ = false;
};

}  // namespace talvori::x11

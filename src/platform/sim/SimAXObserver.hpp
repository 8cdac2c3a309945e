#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/desktop/AXObserver.hpp"

namespace talvori::sim {

class SimWorld;

// An Accessibility observer of one simulated process.
class SimAXObserver final : public AXObserver {
  public:
    SimAXObserver(std::int32_t pid, Callback callback, std::weak_ptr<SimWorld> world);

    AXError addNotification(const AXElement& element, const std::string& notification) override;
    AXError removeNotification(const AXElement& element, const std::string& notification) override;
    void start() override { started_ = true; }
    void stop() override { started_ = false; }

    std::int32_t pid() const { return pid_; }
    bool isStarted() const { return started_; }
    // Whether `notification` about `window` reaches this observer: registered on the window or on
    // its application.
    bool wants(const AXElement& window, const std::string& notification) const;
    // Runs the callback when the observer still wants the notification.
    void deliver(const AXElement& window, const std::string& notification);

  private:
    std::int32_t pid_;
    Callback callback_;
    std::weak_ptr<SimWorld> world_;
    std::set<std::pair<AXElement, std::string>> registrations_;
    bool started_ = false;
};

}  // namespace talvori::sim

#pragma once

#include <memory>

#include "platform/desktop/WindowList.hpp"

namespace talvori::sim {

class SimWorld;

// The simulated window server's list, with the screen recording grant and failure injection.
class SimWindowList final : public WindowList {
  public:
    explicit SimWindowList(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    std::optional<std::vector<WindowInfo>> copyWindowInfo(unsigned options) const override;

    // Other processes' window names are in the list only with the grant.
    void setScreenRecordingGranted(bool granted) { granted_ = granted; }
    bool isScreenRecordingGranted() const { return granted_; }
    // While on, every read gives no list.
    void setFailing(bool failing) { failing_ = failing; }
    int readCount() const { return reads_; }
    // Reads with on-screen-only alone while the grant is off: each would make the system ask the
    // user for the grant.
    int grantRequestCount() const { return grantRequests_; }

  private:
    std::shared_ptr<SimWorld> world_;
    bool granted_ = false;
    bool failing_ = false;
    mutable int reads_ = 0;
    mutable int grantRequests_ = 0;
};

}  // namespace talvori::sim

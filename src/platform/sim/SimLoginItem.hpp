#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/LoginItem.hpp"

namespace talvori::sim {

class SimWorld;

// Keeps the login item's state; failures are programmable.
class SimLoginItem final : public LoginItem {
  public:
    explicit SimLoginItem(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    Status status() const override { return status_; }
    std::optional<std::string> registerItem() override;
    std::optional<std::string> unregisterItem() override;

    void setStatus(Status status) { status_ = status; }
    // The next calls fail with `error` until cleared with nothing.
    void setFailure(std::optional<std::string> error) { failure_ = std::move(error); }
    int registerCount() const { return registers_; }
    int unregisterCount() const { return unregisters_; }

  private:
    std::shared_ptr<SimWorld> world_;
    Status status_ = Status::notRegistered;
    std::optional<std::string> failure_;
    int registers_ = 0;
    int unregisters_ = 0;
};

}  // namespace talvori::sim

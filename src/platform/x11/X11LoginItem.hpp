#pragma once

#include "platform/desktop/LoginItem.hpp"

namespace talvori::x11 {

// Starting at login is not set up on X11 yet: not registered, and registering says why.
class X11LoginItem final : public LoginItem {
  public:
    Status status() const override { return Status::notRegistered; }
    std::optional<std::string> registerItem() override {
        return std::string("Starting at login is not available on X11 yet.");
    }
    std::optional<std::string> unregisterItem() override { return std::nullopt; }
};

}  // namespace talvori::x11

#pragma once

#include <optional>
#include <string>

namespace talvori {

// Whether the program starts when the user logs in.
class LoginItem {
  public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    virtual ~LoginItem() = default;

    virtual Status status() const = 0;
    // Each returns an error description on failure, nothing on success.
    virtual std::optional<std::string> registerItem() = 0;
    virtual std::optional<std::string> unregisterItem() = 0;
};

}  // namespace talvori

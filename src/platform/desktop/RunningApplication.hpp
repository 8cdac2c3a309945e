#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/desktop/ActivationPolicy.hpp"

namespace talvori {

// A running process with windows or a place in the workspace.
struct RunningApplication {
    std::int32_t processIdentifier = 0;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;

    bool operator==(const RunningApplication&) const = default;
};

}  // namespace talvori

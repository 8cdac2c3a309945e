#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/ActivationPolicy.hpp"

namespace talvori {

struct Image;

// A running process with windows or a place in the workspace.
struct RunningApplication {
    std::int32_t processIdentifier = 0;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    // The application's own icon, drawn at any size (lists show it at 16 points); none when the
    // application offers none. Initialised in place, so positional initialisers may leave it out.
    std::shared_ptr<const Image> icon{};

    bool operator==(const RunningApplication&) const = default;
};

}  // namespace talvori

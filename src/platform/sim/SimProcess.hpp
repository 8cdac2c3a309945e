#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/ActivationPolicy.hpp"
#include "platform/desktop/RunningApplication.hpp"

namespace talvori::sim {

// A process of the simulated session: ours, another application, or a part of the system (the
// window server's menu bar, the dock's desktop picture).
struct SimProcess {
    std::int32_t pid = 0;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    bool isSystem = false;
    // Off: Accessibility reads of its elements fail with cannotComplete.
    bool isAccessible = true;
    // On: creating an Accessibility observer for it fails.
    bool refusesObservers = false;
    // Its focused (and main) window; 0 for none.
    std::uint32_t focusedWindow = 0;
    std::shared_ptr<const Image> icon;

    RunningApplication runningApplication() const {
        return {pid, bundleIdentifier, localizedName, activationPolicy, icon};
    }
};

}  // namespace talvori::sim

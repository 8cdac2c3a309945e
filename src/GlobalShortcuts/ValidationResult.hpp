#pragma once

#include <optional>
#include <string>

namespace GlobalShortcuts {

// A recorder's validation answer for a newly recorded shortcut: allowed, or disallowed with a
// reason to show.
struct ValidationResult {
    static ValidationResult allow() { return {}; }
    static ValidationResult disallow(std::string reason) { return {std::move(reason)}; }

    bool isAllowed() const { return !disallowReason; }
    bool operator==(const ValidationResult&) const = default;

    std::optional<std::string> disallowReason;
};

}  // namespace GlobalShortcuts

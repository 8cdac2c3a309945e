#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/UI.hpp"

namespace talvori::ui::testing {

// The element a screen reader finds under `label`, wherever the label and value were set.
inline std::optional<AccessibilityNode> accessibilityElementLabelled(Host& host,
                                                                     const std::string& label) {
    std::vector<AccessibilityNode> pending;
    if (auto root = host.root().accessibilityElement()) pending.push_back(*root);
    while (!pending.empty()) {
        AccessibilityNode element = std::move(pending.back());
        pending.pop_back();
        if (element.label == label) return element;
        pending.insert(pending.end(), element.children.begin(), element.children.end());
    }
    return std::nullopt;
}

inline std::string accessibilityValue(Host& host, const std::string& label) {
    const auto element = accessibilityElementLabelled(host, label);
    return element ? element->value : "(no element \"" + label + "\")";
}

}  // namespace talvori::ui::testing

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/UI.hpp"

namespace talvori::ui::testing {

// The first element a screen reader finds that `wanted` picks, wherever label and value were set.
template <typename Predicate>
std::optional<AccessibilityNode> accessibilityElementWhere(Host& host, Predicate wanted) {
    std::vector<AccessibilityNode> pending;
    if (auto root = host.root().accessibilityElement()) pending.push_back(*root);
    while (!pending.empty()) {
        AccessibilityNode element = std::move(pending.back());
        pending.pop_back();
        if (wanted(element)) return element;
        pending.insert(pending.end(), element.children.begin(), element.children.end());
    }
    return std::nullopt;
}

inline std::optional<AccessibilityNode> accessibilityElementLabelled(Host& host,
                                                                     const std::string& label) {
    return accessibilityElementWhere(
        host, [&](const AccessibilityNode& element) { return element.label == label; });
}

// The switch among elements of the same name (the Focus card and its switch).
inline std::string switchValue(Host& host, const std::string& label) {
    const auto element = accessibilityElementWhere(host, [&](const AccessibilityNode& element) {
        return element.label == label && element.isOn.has_value();
    });
    return element ? element->value : "(no switch \"" + label + "\")";
}

inline std::string accessibilityValue(Host& host, const std::string& label) {
    const auto element = accessibilityElementLabelled(host, label);
    return element ? element->value : "(no element \"" + label + "\")";
}

}  // namespace talvori::ui::testing

#pragma once

#include <string>
#include <vector>

#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"

namespace talvori::testing {

// What a reader hears as focused among `elements`: empty when nothing is.
inline std::string focusedLabel(const std::vector<ui::AccessibilityNode>& elements) {
    for (const auto& element : elements) {
        if (element.isFocused) return element.label;
        if (auto inner = focusedLabel(element.children); !inner.empty()) return inner;
    }
    return "";
}

// What a reader hears as focused in `host`, "(nothing)" when nothing is.
inline std::string focusedLabel(ui::Host& host) {
    const std::string label = focusedLabel(host.accessibilityElements());
    return label.empty() ? "(nothing)" : label;
}

}  // namespace talvori::testing

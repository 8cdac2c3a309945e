#include "ui/AccessibilityNode.hpp"

#include <fmt/format.h>

namespace talvori::ui {

std::string AccessibilityNode::dump(int depth) const {
    std::string role = contains(traits, AccessibilityTrait::isButton) ? "button"
                       : contains(traits, AccessibilityTrait::isLink) ? "link"
                       : children.empty()                             ? "text"
                                                                      : "group";
    std::string line = fmt::format("{:{}}{}", "", depth * 2, role);
    if (!label.empty()) line += fmt::format(" \"{}\"", label);
    if (!value.empty()) line += fmt::format(" value=\"{}\"", value);
    if (!hint.empty()) line += fmt::format(" hint=\"{}\"", hint);
    if (!identifier.empty()) line += fmt::format(" id={}", identifier);
    if (contains(traits, AccessibilityTrait::isSelected)) line += " [selected]";
    if (contains(traits, AccessibilityTrait::isHeader)) line += " [header]";
    line += "\n";
    for (const auto& child : children) line += child.dump(depth + 1);
    return line;
}

std::string joinedLabels(const std::vector<AccessibilityNode>& nodes) {
    std::string joined;
    for (const auto& node : nodes) {
        const std::string inner = node.label.empty() ? joinedLabels(node.children) : node.label;
        if (inner.empty()) continue;
        if (!joined.empty()) joined += ", ";
        joined += inner;
    }
    return joined;
}

}  // namespace talvori::ui

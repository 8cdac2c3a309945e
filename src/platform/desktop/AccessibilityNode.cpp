#include "platform/desktop/AccessibilityNode.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace talvori {

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
    for (const auto& name : actionNames()) line += fmt::format(" action=\"{}\"", name);
    line += "\n";
    for (const auto& child : children) line += child.dump(depth + 1);
    return line;
}

bool AccessibilityNode::hasDefaultAction() const {
    return std::any_of(actions.begin(), actions.end(),
                       [](const auto& action) { return action.name.empty(); });
}

std::vector<std::string> AccessibilityNode::actionNames() const {
    std::vector<std::string> names;
    for (const auto& action : actions) {
        if (!action.name.empty()) names.push_back(action.name);
    }
    return names;
}

bool AccessibilityNode::perform(std::string_view name) const {
    for (const auto& action : actions) {
        if (action.name != name) continue;
        if (action.perform) action.perform();
        return true;
    }
    return false;
}

}  // namespace talvori

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/AccessibilityNode.hpp"

namespace talvori::ui {

class Element;
class Node;

using talvori::AccessibilityAction;
using talvori::AccessibilityNode;
using talvori::AccessibilityRange;
using talvori::AccessibilityText;

// The accessibility elements of `node`'s subtree; those the node makes itself stand for it.
std::vector<AccessibilityNode> accessibilityElementsOf(const Node& node, double now);

// The labels of `nodes` (or, where one has none, of its children) joined by ", ": what a combined
// element or a button says.
std::string joinedLabels(const std::vector<AccessibilityNode>& nodes);

// The label or identifier set by an accessibility modifier, for finding nodes.
std::optional<std::string> accessibilityLabelOf(const Element& element);
std::optional<std::string> accessibilityIdentifierOf(const Element& element);

}  // namespace talvori::ui

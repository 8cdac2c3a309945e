#pragma once

#include <string>
#include <vector>

#include "ui/ProposedSize.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// One element of the accessibility tree that views expose.
struct AccessibilityNode {
    std::string label;
    std::string value;
    std::string hint;
    std::string identifier;
    AccessibilityTrait traits = AccessibilityTrait::none;
    // In host coordinates.
    Rect frame;
    std::vector<AccessibilityNode> children;

    // Indented lines such as `button "Close overlay" [selected]`.
    std::string dump(int depth = 0) const;
};

// The labels of `nodes` (or, where one has none, of its children) joined by ", ": what a combined
// element or a button says.
std::string joinedLabels(const std::vector<AccessibilityNode>& nodes);

// The label or identifier set by an accessibility modifier, for finding nodes.
std::optional<std::string> accessibilityLabelOf(const Element& element);
std::optional<std::string> accessibilityIdentifierOf(const Element& element);

}  // namespace talvori::ui

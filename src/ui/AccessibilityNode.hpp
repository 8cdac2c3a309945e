#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ProposedSize.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// Something a screen reader can do with an element: its press (no name) or a named action.
struct AccessibilityAction {
    std::string name;
    std::function<void()> perform;
};

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
    // The press first when there is one; an action does nothing once its view has gone.
    std::vector<AccessibilityAction> actions;

    bool hasDefaultAction() const;
    std::vector<std::string> actionNames() const;
    // Performs the press (no name) or the named action; false when the element has none such.
    bool perform(std::string_view name = {}) const;

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

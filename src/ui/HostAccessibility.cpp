// The accessibility tree of a host as a screen reader reads it.
#include <unordered_map>

#include "platform/core/weakly.hpp"
#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"

namespace talvori::ui {

namespace {

using ElementsBySource = std::unordered_map<const Node*, AccessibilityNode*>;

// Every element's source is one of the host's nodes (accessibilityElementsOf sets it).
const Node* sourceOf(const AccessibilityNode& element) {
    return static_cast<const Node*>(element.source.lock().get());
}

void index(std::vector<AccessibilityNode>& elements, ElementsBySource& bySource) {
    for (auto& element : elements) {
        if (const Node* source = sourceOf(element)) {
            bySource.emplace(source, &element);
            element.isEnabled = source->environment().isEnabled;
        }
        index(element.children, bySource);
    }
}

// A view that takes the focus makes the nearest element at or around it focusable; the first
// such view is the one that element's focus goes to, as a click on the element would focus it.
void markFocusable(Node& node, const ElementsBySource& bySource, const Node* focused,
                   const std::weak_ptr<Host>& host) {
    if (node.isRemoving()) return;
    if (node.environment().value(takesKeyboardFocusKey) && node.element().isFocusable(node)) {
        for (const Node* around = &node; around; around = around->parent()) {
            const auto found = bySource.find(around);
            if (found == bySource.end()) continue;
            AccessibilityNode& element = *found->second;
            if (!element.isFocusable) {
                element.isFocusable = true;
                element.focus = weakly(host, [target = node.weak_from_this()](Host& strong) {
                    withOwner(target, [&](Node& view) {
                        if (view.isAttached()) strong.requestFocus(view);
                    });
                });
            }
            element.isFocused = element.isFocused || &node == focused;
            break;
        }
    }
    for (const auto& child : node.children()) markFocusable(*child, bySource, focused, host);
}

// The element that a shortcut's press reaches: the first at or below `node` with a press.
AccessibilityNode* pressedElement(const Node& node, const ElementsBySource& bySource) {
    if (const auto found = bySource.find(&node);
        found != bySource.end() && !found->second->actions.empty()) {
        return found->second;
    }
    for (const auto& child : node.children()) {
        if (child->isRemoving()) continue;
        if (auto* element = pressedElement(*child, bySource)) return element;
    }
    return nullptr;
}

// A button's keyboard shortcut is its press's key binding, which a reader says with its name.
void markKeyBindings(const Node& node, const ElementsBySource& bySource) {
    if (node.isRemoving()) return;
    if (const auto* shortcut = node.element().keyboardShortcut()) {
        auto* element = pressedElement(node, bySource);
        if (element && element->actions.front().keyBinding.empty()) {
            element->actions.front().keyBinding = shortcut->accessibilityKeyBinding();
        }
    }
    for (const auto& child : node.children()) markKeyBindings(*child, bySource);
}

}  // namespace

std::vector<AccessibilityNode> Host::accessibilityElements() {
    // A reader asks after an action or an edit: it hears the views as that left them.
    if (updatePosted_) runUpdate();
    if (!root_) return {};
    auto elements = accessibilityElementsOf(*root_, now());
    ElementsBySource bySource;
    index(elements, bySource);
    markFocusable(*root_, bySource, focusedNode(), weak_from_this());
    markKeyBindings(*root_, bySource);
    return elements;
}

}  // namespace talvori::ui

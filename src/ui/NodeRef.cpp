#include "ui/NodeRef.hpp"

#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Text.hpp"
#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

namespace {

std::optional<Color> firstColor(const Node& node, Element::ColorRole role, double now) {
    if (auto color = node.element().presentedColor(node, role, now)) return color;
    for (const auto& child : node.children()) {
        if (auto color = firstColor(*child, role, now)) return color;
    }
    return std::nullopt;
}

std::optional<std::string> firstText(const Node& node) {
    if (const auto* layout = shownTextLayout(node)) return layout->visibleText;
    if (auto text = node.element().text()) return text;
    for (const auto& child : node.children()) {
        if (auto text = firstText(*child)) return text;
    }
    return std::nullopt;
}

// The node and the modifiers right below it that keep its bounds: the one view a user sees.
std::vector<const Node*> modifierChain(const Node& top) {
    std::vector<const Node*> chain{&top};
    for (const Node* node = &top; node->children().size() == 1;) {
        const Node& child = *node->children().front();
        const Rect frame = child.frame();
        if (child.isRemoving() || frame.origin != Point{} || frame.size != top.frame().size) break;
        chain.push_back(&child);
        node = &child;
    }
    return chain;
}

}  // namespace

std::string Query::description() const {
    switch (kind) {
        case Kind::label:
            return "label \"" + value + "\"";
        case Kind::identifier:
            return "identifier \"" + value + "\"";
        case Kind::text:
            return "text \"" + value + "\"";
    }
    return value;
}

bool NodeRef::exists() const {
    return node() != nullptr;
}

Node* NodeRef::node() const {
    auto host = host_.lock();
    if (!host) return nullptr;
    host->pruneRemovals();
    return node_.lock().get();
}

Rect NodeRef::frame() const {
    const Node* found = node();
    return found ? modifierChain(*found).back()->frameInHost(found->host().now()) : Rect{};
}

Rect NodeRef::layoutFrame() const {
    const Node* found = node();
    if (!found) return {};
    const double now = found->host().now();
    Rect frame = found->presentedFrame(now);
    for (const Node* ancestor = found->parent(); ancestor; ancestor = ancestor->parent()) {
        const Rect outer = ancestor->presentedFrame(now);
        frame = offsetBy(frame, outer.minX(), outer.minY());
    }
    return frame;
}

double NodeRef::opacity() const {
    const Node* found = node();
    if (!found) return 0;
    const double now = found->host().now();
    double opacity = 1;
    for (const Node* node = found->parent(); node; node = node->parent()) {
        opacity *= node->presentedOpacity(now);
    }
    for (const Node* node : modifierChain(*found)) opacity *= node->presentedOpacity(now);
    return opacity;
}

std::string NodeRef::text() const {
    const Node* found = node();
    return found ? firstText(*found).value_or("") : "";
}

std::optional<Color> NodeRef::foregroundColor() const {
    const Node* found = node();
    return found ? firstColor(*found, Element::ColorRole::foreground, found->host().now())
                 : std::nullopt;
}

std::optional<Color> NodeRef::fillColor() const {
    const Node* found = node();
    return found ? firstColor(*found, Element::ColorRole::fill, found->host().now()) : std::nullopt;
}

std::optional<Color> NodeRef::strokeColor() const {
    const Node* found = node();
    return found ? firstColor(*found, Element::ColorRole::stroke, found->host().now())
                 : std::nullopt;
}

std::optional<AccessibilityNode> NodeRef::accessibilityElement() const {
    const Node* found = node();
    if (!found) return std::nullopt;
    auto elements = accessibilityElementsOf(*found, found->host().now());
    if (elements.empty()) return std::nullopt;
    return elements.front();
}

bool NodeRef::performAccessibilityAction(std::string_view name) const {
    const Node* found = node();
    if (!found) return false;
    // Actions may be declared by modifiers around the labelled view: the element as exposed is the
    // outermost view of the chain.
    while (found->parent() && found->parent()->children().size() == 1) found = found->parent();
    const auto elements = accessibilityElementsOf(*found, found->host().now());
    return elements.size() == 1 && elements.front().perform(name);
}

std::optional<Rect> NodeRef::frameInWindow() const {
    const Node* found = node();
    return found ? found->host().frameInWindow(*found) : std::nullopt;
}

std::optional<Rect> NodeRef::frameOnScreen() const {
    const Node* found = node();
    return found ? found->host().frameOnScreen(*found) : std::nullopt;
}

bool NodeRef::isEnabled() const {
    const Node* found = node();
    return found && found->environment().isEnabled;
}

bool NodeRef::isFocused() const {
    const Node* found = node();
    if (!found) return false;
    const Node* focused = found->host().focusedNode();
    for (const Node* node = focused; node; node = node->parent()) {
        if (node == found) return true;
    }
    return false;
}

Point NodeRef::center() const {
    return ui::center(frame());
}

void NodeRef::click() const {
    mouseDown();
    mouseUp();
}

void NodeRef::hover() const {
    if (auto host = host_.lock(); host && exists()) host->mouseMoved(center());
}

void NodeRef::mouseDown() const {
    auto host = host_.lock();
    if (!host || !exists()) return;
    host->mouseMoved(center());
    host->mouseDown(center());
}

void NodeRef::mouseUp() const {
    if (auto host = host_.lock(); host && exists()) host->mouseUp(center());
}

void NodeRef::drag(Point translation, int steps) const {
    auto host = host_.lock();
    if (!host || !exists()) return;
    const Point start = center();
    host->mouseMoved(start);
    host->mouseDown(start);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        host->mouseDragged({start.x + translation.x * t, start.y + translation.y * t});
    }
    host->mouseUp(offsetBy(start, translation.x, translation.y));
}

}  // namespace talvori::ui

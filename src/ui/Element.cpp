#include "ui/Element.hpp"

#include <algorithm>
#include <limits>
#include <type_traits>
#include <typeinfo>

#include "ui/AccessibilityNode.hpp"
#include "ui/DamageRegion.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

Rect boundingBox(const cairo_matrix_t& matrix, const Rect& rect) {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    for (const Point corner : {rect.origin, Point{rect.maxX(), rect.minY()},
                               Point{rect.minX(), rect.maxY()}, Point{rect.maxX(), rect.maxY()}}) {
        double x = corner.x, y = corner.y;
        cairo_matrix_transform_point(&matrix, &x, &y);
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

TextRendering DrawContext::textRendering() const {
    return transformedByViews ? TextRendering::outlines : TextRendering::glyphs;
}

bool DrawContext::redraws(const Rect& rect) const {
    if (!clip) return true;
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    return clip->intersects(boundingBox(matrix, rect));
}

bool Element::canUpdateTo(const Element& newer) const {
    return typeid(newer) == typeid(*this);
}

void Element::reconcile(Node& node, UpdateContext& context) const {
    node.reconcileChildren(children(), context);
}

Size Element::sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const {
    Size size;
    for (auto* child : node.layoutChildren()) {
        const Size childSize = child->sizeThatFits(proposal, context);
        size = {std::max(size.width, childSize.width), std::max(size.height, childSize.height)};
    }
    return size;
}

void Element::place(Node& node, Size size, LayoutContext& context) const {
    for (auto* child : node.layoutChildren()) {
        const Size childSize = child->sizeThatFits(ProposedSize::of(size), context);
        child->place(
            Rect({(size.width - childSize.width) / 2, (size.height - childSize.height) / 2},
                 childSize),
            context);
    }
}

std::optional<double> Element::firstBaseline(Node& node, Size size, LayoutContext& context) const {
    const auto& children = node.layoutChildren();
    if (children.empty()) return std::nullopt;
    Node& first = *children.front();
    const Size childSize = first.sizeThatFits(ProposedSize::of(size), context);
    const auto baseline = first.firstBaseline(childSize, context);
    if (!baseline) return std::nullopt;
    return (size.height - childSize.height) / 2 + *baseline;
}

namespace {

template <class Guide>
std::optional<double> centredChildGuide(Node& node, Size size, Guide guide,
                                        LayoutContext& context) {
    const auto& children = node.layoutChildren();
    if (children.size() != 1 || !children.front()->mayHaveExplicitGuide()) return std::nullopt;
    Node& child = *children.front();
    const Size childSize = child.sizeThatFits(ProposedSize::of(size), context);
    const auto inner = child.explicitGuide(childSize, guide, context);
    if (!inner) return std::nullopt;
    const double offset = std::is_same_v<Guide, HorizontalAlignment>
                              ? (size.width - childSize.width) / 2
                              : (size.height - childSize.height) / 2;
    return offset + *inner;
}

}  // namespace

bool Element::onlyChildMayHaveExplicitGuide(const Node& node) {
    const auto& children = node.layoutChildren();
    return children.size() == 1 && children.front()->mayHaveExplicitGuide();
}

std::optional<double> Element::explicitGuide(Node&, Size, HorizontalAlignment,
                                             LayoutContext&) const {
    return std::nullopt;
}

std::optional<double> Element::explicitGuide(Node&, Size, VerticalAlignment, LayoutContext&) const {
    return std::nullopt;
}

std::optional<double> Element::guideOfOnlyChild(Node& node, Size size, HorizontalAlignment guide,
                                                LayoutContext& context) {
    return centredChildGuide(node, size, guide, context);
}

std::optional<double> Element::guideOfOnlyChild(Node& node, Size size, VerticalAlignment guide,
                                                LayoutContext& context) {
    return centredChildGuide(node, size, guide, context);
}

void Element::draw(const Node& node, DrawContext& context) const {
    node.drawChildren(context);
}

Node* Element::hitTest(Node& node, Point point, cairo_t* scratch) const {
    return node.hitTestChildren(point, scratch);
}

std::vector<AccessibilityNode> Element::accessibility(const Node& node, double now) const {
    std::vector<AccessibilityNode> result;
    for (const auto& child : node.children()) {
        if (child->isRemoving()) continue;
        auto elements = accessibilityElementsOf(*child, now);
        result.insert(result.end(), std::make_move_iterator(elements.begin()),
                      std::make_move_iterator(elements.end()));
    }
    return result;
}

Node* Element::hitInBounds(Node& node, Point point) {
    return Rect({0, 0}, node.frame().size).contains(point) ? &node : nullptr;
}

AnimatedValue::Values Element::foregroundData(const Node& node) {
    const Color& color = node.environment().foreground;
    return {color.red, color.green, color.blue, color.alpha};
}

std::optional<Color> Element::foregroundAt(const Node& node, ColorRole role, double now) {
    if (role != ColorRole::foreground) return std::nullopt;
    return node.presentedColor(0, now);
}

std::string Element::debugName() const {
    return typeid(*this).name();
}

}  // namespace talvori::ui

#include "ui/FocusRing.hpp"

#include <algorithm>
#include <numbers>

#include "ui/Element.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"

namespace talvori::ui {

namespace {

void addRoundedRect(cairo_t* cr, const Rect& rect, double radius) {
    constexpr double quarter = std::numbers::pi / 2;
    const double x = rect.minX(), y = rect.minY(), width = rect.width(), height = rect.height();
    radius = std::max(0.0, std::min({radius, width / 2, height / 2}));
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + width - radius, y + radius, radius, -quarter, 0);
    cairo_arc(cr, x + width - radius, y + height - radius, radius, 0, quarter);
    cairo_arc(cr, x + radius, y + height - radius, radius, quarter, 2 * quarter);
    cairo_arc(cr, x + radius, y + radius, radius, 2 * quarter, 3 * quarter);
    cairo_close_path(cr);
}

bool contains(const Rect& outer, const Rect& inner) {
    constexpr double slack = 0.01;
    return inner.minX() >= outer.minX() - slack && inner.minY() >= outer.minY() - slack &&
           inner.maxX() <= outer.maxX() + slack && inner.maxY() <= outer.maxY() + slack;
}

// Whether the ring outside the node would be drawn whole: inside the window and every clip above.
bool hasRoomOutside(const Node& node, double now) {
    const double outset = FocusRing::kOutset;
    const Rect frame = node.frameInHost(now);
    const Rect ring(frame.minX() - outset, frame.minY() - outset, frame.width() + 2 * outset,
                    frame.height() + 2 * outset);
    if (!contains(Rect({0, 0}, node.host().size()), ring)) return false;
    for (const Node* ancestor = node.parent(); ancestor; ancestor = ancestor->parent()) {
        if (ancestor->element().clipsContent() && !contains(ancestor->frameInHost(now), ring))
            return false;
    }
    return true;
}

// Dark on a light accent, light on a dark one.
Color standingOutFrom(const Color& accent) {
    const double brightness = 0.299 * accent.red + 0.587 * accent.green + 0.114 * accent.blue;
    return brightness > 0.5 ? Color::black(0.85) : Color::white(0.9);
}

void strokeRing(cairo_t* cr, const Rect& rect, double radius, const Color& color, double width) {
    addRoundedRect(cr, rect, radius);
    setSourceColor(cr, color);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

}  // namespace

void FocusRing::drawIfFocused(const Node& node, DrawContext& context) {
    Host& host = node.host();
    if (host.focusedNode() != &node || !host.isKeyWindow()) return;
    const Size size = node.frame().size;
    if (size.width <= 2 * kLineWidth || size.height <= 2 * kLineWidth) return;
    const Color accent = node.environment().tint.opacity(context.opacity);
    cairo_t* cr = context.cr;
    cairo_save(cr);
    if (hasRoomOutside(node, context.now)) {
        const double middle = kGap + kLineWidth / 2;
        strokeRing(cr, insetBy(Rect({0, 0}, size), -middle, -middle), kCornerRadius + middle,
                   accent, kLineWidth);
    } else {
        const double middle = kLineWidth / 2;
        strokeRing(cr, insetBy(Rect({0, 0}, size), middle, middle), kCornerRadius, accent,
                   kLineWidth);
        const double inner = kLineWidth + 0.5;
        strokeRing(cr, insetBy(Rect({0, 0}, size), inner, inner), kCornerRadius - inner,
                   standingOutFrom(node.environment().tint).opacity(context.opacity), 1);
    }
    cairo_restore(cr);
}

double FocusRing::drawingOutset(const Node& node) {
    return node.host().focusedNode() == &node ? kOutset : 0;
}

}  // namespace talvori::ui

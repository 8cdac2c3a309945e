#include "ui/FocusRing.hpp"

#include <algorithm>
#include <numbers>

#include "ui/Element.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"

namespace talvori::ui {

namespace {

void addRoundedRect(cairo_t* cr, double x, double y, double width, double height, double radius) {
    constexpr double quarter = std::numbers::pi / 2;
    radius = std::min({radius, width / 2, height / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + width - radius, y + radius, radius, -quarter, 0);
    cairo_arc(cr, x + width - radius, y + height - radius, radius, 0, quarter);
    cairo_arc(cr, x + radius, y + height - radius, radius, quarter, 2 * quarter);
    cairo_arc(cr, x + radius, y + radius, radius, 2 * quarter, 3 * quarter);
    cairo_close_path(cr);
}

}  // namespace

void FocusRing::drawIfFocused(const Node& node, DrawContext& context) {
    Host& host = node.host();
    if (host.focusedNode() != &node || !host.isKeyWindow()) return;
    const Size size = node.frame().size;
    const double inset = kLineWidth / 2;
    if (size.width <= kLineWidth || size.height <= kLineWidth) return;
    cairo_t* cr = context.cr;
    cairo_save(cr);
    addRoundedRect(cr, inset, inset, size.width - kLineWidth, size.height - kLineWidth,
                   kCornerRadius);
    setSourceColor(cr, node.environment().tint.opacity(context.opacity));
    cairo_set_line_width(cr, kLineWidth);
    cairo_stroke(cr);
    cairo_restore(cr);
}

}  // namespace talvori::ui

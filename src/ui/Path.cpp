#include "ui/Path.hpp"

#include <cmath>
#include <numbers>

namespace talvori::ui {

Path& Path::moveTo(Point point) {
    commands_.push_back({Verb::move, point, {}, {}});
    subpathStart_ = point;
    setCurrent(point);
    return *this;
}

Path& Path::lineTo(Point point) {
    if (!hasCurrent_) return moveTo(point);
    commands_.push_back({Verb::line, point, {}, {}});
    setCurrent(point);
    return *this;
}

Path& Path::curveTo(Point control1, Point control2, Point end) {
    if (!hasCurrent_) moveTo(control1);
    commands_.push_back({Verb::curve, control1, control2, end});
    setCurrent(end);
    return *this;
}

Path& Path::addArcTo(Point corner, Point end, double radius) {
    if (!hasCurrent_) return moveTo(corner);
    const Point start = current_;
    const double ax = start.x - corner.x, ay = start.y - corner.y;
    const double bx = end.x - corner.x, by = end.y - corner.y;
    const double lengthA = std::hypot(ax, ay), lengthB = std::hypot(bx, by);
    const double cross = ax * by - ay * bx;
    if (radius <= 0 || lengthA == 0 || lengthB == 0 || std::abs(cross) < 1e-9)
        return lineTo(corner);

    // The angle between the two legs decides how far from the corner the arc touches them.
    const double cosine = std::clamp((ax * bx + ay * by) / (lengthA * lengthB), -1.0, 1.0);
    const double angle = std::acos(cosine);
    const double tangentDistance = radius / std::tan(angle / 2);
    const double ux = ax / lengthA, uy = ay / lengthA, vx = bx / lengthB, vy = by / lengthB;
    const Point touchA{corner.x + ux * tangentDistance, corner.y + uy * tangentDistance};
    const Point touchB{corner.x + vx * tangentDistance, corner.y + vy * tangentDistance};
    const double bisectorX = ux + vx, bisectorY = uy + vy;
    const double bisectorLength = std::hypot(bisectorX, bisectorY);
    const double centerDistance = radius / std::sin(angle / 2);
    const Point center{corner.x + bisectorX / bisectorLength * centerDistance,
                       corner.y + bisectorY / bisectorLength * centerDistance};
    const double angle1 = std::atan2(touchA.y - center.y, touchA.x - center.x);
    const double angle2 = std::atan2(touchB.y - center.y, touchB.x - center.x);

    lineTo(touchA);
    // In y-down coordinates a positive cross product turns anticlockwise on screen.
    Command arc{Verb::arc, center, {}, {}};
    arc.radius = cross > 0 ? -radius : radius;
    arc.angle1 = angle1;
    arc.angle2 = angle2;
    commands_.push_back(arc);
    setCurrent(touchB);
    return *this;
}

Path& Path::closeSubpath() {
    commands_.push_back({Verb::close, {}, {}, {}});
    setCurrent(subpathStart_);
    return *this;
}

Path& Path::addRect(const Rect& rect) {
    return moveTo({rect.minX(), rect.minY()})
        .lineTo({rect.maxX(), rect.minY()})
        .lineTo({rect.maxX(), rect.maxY()})
        .lineTo({rect.minX(), rect.maxY()})
        .closeSubpath();
}

Path& Path::addEllipse(const Rect& rect) {
    // Four quarter curves; the handle factor makes each a close approximation of a circle's arc.
    constexpr double k = 0.5522847498;
    const double cx = rect.midX(), cy = rect.midY(), rx = rect.width() / 2, ry = rect.height() / 2;
    moveTo({cx + rx, cy});
    curveTo({cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
    curveTo({cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
    curveTo({cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
    curveTo({cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
    return closeSubpath();
}

void Path::apply(cairo_t* cr) const {
    for (const auto& command : commands_) {
        switch (command.verb) {
            case Verb::move:
                cairo_move_to(cr, command.a.x, command.a.y);
                break;
            case Verb::line:
                cairo_line_to(cr, command.a.x, command.a.y);
                break;
            case Verb::curve:
                cairo_curve_to(cr, command.a.x, command.a.y, command.b.x, command.b.y, command.c.x,
                               command.c.y);
                break;
            case Verb::arc:
                if (command.radius >= 0) {
                    cairo_arc(cr, command.a.x, command.a.y, command.radius, command.angle1,
                              command.angle2);
                } else {
                    cairo_arc_negative(cr, command.a.x, command.a.y, -command.radius,
                                       command.angle1, command.angle2);
                }
                break;
            case Verb::close:
                cairo_close_path(cr);
                break;
        }
    }
}

}  // namespace talvori::ui

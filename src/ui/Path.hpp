#pragma once

#include <cairo.h>

#include <vector>

#include "ui/ProposedSize.hpp"

namespace talvori::ui {

// A figure of lines and curves in view coordinates.
class Path {
  public:
    Path& moveTo(Point point);
    Path& lineTo(Point point);
    Path& curveTo(Point control1, Point control2, Point end);
    // Canvas-style tangent arc: a line from the current point towards `corner`, then an arc of
    // `radius` that turns to head for `end`. The arc touches both lines; the current point becomes
    // the arc's end. A zero radius or collinear points give a plain line to `corner`.
    Path& addArcTo(Point corner, Point end, double radius);
    Path& closeSubpath();
    Path& addRect(const Rect& rect);
    Path& addEllipse(const Rect& rect);

    bool isEmpty() const { return commands_.empty(); }
    void apply(cairo_t* cr) const;
    bool operator==(const Path&) const = default;

  private:
    enum class Verb { move, line, curve, arc, close };
    struct Command {
        Verb verb;
        Point a, b, c;
        double radius = 0, angle1 = 0, angle2 = 0;
        bool operator==(const Command&) const = default;
    };
    void setCurrent(Point point) {
        current_ = point;
        hasCurrent_ = true;
    }

    std::vector<Command> commands_;
    Point current_;
    Point subpathStart_;
    bool hasCurrent_ = false;
};

}  // namespace talvori::ui

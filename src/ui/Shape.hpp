#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/Paint.hpp"
#include "ui/Path.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// Continuous corners blend into the straight edges (no sudden change of curvature), as the
// platform's "continuous" rounded rectangles do; circular corners are quarter circles.
enum class RoundedCornerStyle { continuous, circular };
enum class LineCap { butt, round, square };
enum class LineJoin { miter, round, bevel };

struct StrokeStyle {
    double lineWidth = 1;
    LineCap lineCap = LineCap::butt;
    LineJoin lineJoin = LineJoin::miter;
    double miterLimit = 10;
    std::vector<double> dash{};
    double dashPhase = 0;
    bool operator==(const StrokeStyle&) const = default;
};

// A figure that fills its frame: drawn filled or stroked, or used to clip and to shape the area
// that takes pointer input. As a view on its own it fills with the foreground colour.
class Shape : public View {
  public:
    using PathFunction = std::function<Path(const Rect&)>;
    // A custom shape: `path` makes the figure for the frame it is given.
    explicit Shape(PathFunction path);

    Path path(const Rect& rect) const;
    // Whether both make the same figure in any frame (custom figures: only when they are one).
    bool isSameFigure(const Shape& other) const;

    View fill(const Paint& paint) const;
    // A line centred on the outline.
    View stroke(const Paint& paint, StrokeStyle style) const;
    View stroke(const Paint& paint, double lineWidth = 1) const {
        return stroke(paint, StrokeStyle{lineWidth});
    }
    // A line inside the outline: the shape inset by half the width, stroked.
    View strokeBorder(const Paint& paint, StrokeStyle style) const;
    View strokeBorder(const Paint& paint, double lineWidth = 1) const {
        return strokeBorder(paint, StrokeStyle{lineWidth});
    }
    // The same figure in a frame shrunk by `amount` on every side.
    Shape inset(double amount) const;
    // Where the figure in `frame` may leave part of the frame out: nowhere for a rectangle, the
    // corners for a rounded one, all of it for any other figure.
    std::vector<Rect> partsOutsideFigure(const Rect& frame) const;

    struct Geometry;

  protected:
    explicit Shape(std::shared_ptr<const Geometry> geometry);

  private:
    std::shared_ptr<const Geometry> geometry_;
};

class Rectangle : public Shape {
  public:
    Rectangle();
};

class RoundedRectangle : public Shape {
  public:
    explicit RoundedRectangle(double cornerRadius,
                              RoundedCornerStyle style = RoundedCornerStyle::continuous);
};

// The largest circle in the frame, centred.
class Circle : public Shape {
  public:
    Circle();
};

// A rounded rectangle whose corner radius is half its shorter side.
class Capsule : public Shape {
  public:
    Capsule();
};

void applyStrokeStyle(cairo_t* cr, const StrokeStyle& style);

}  // namespace talvori::ui

#include "ui/Shape.hpp"

#include <algorithm>

#include "ui/AccessibilityNode.hpp"
#include "ui/Node.hpp"

namespace talvori::ui {

struct Shape::Geometry {
    enum class Kind { rectangle, roundedRectangle, circle, capsule, custom };
    Kind kind = Kind::rectangle;
    double radius = 0;
    RoundedCornerStyle style = RoundedCornerStyle::continuous;
    PathFunction custom;
    double inset = 0;

    // Custom figures cannot be compared: only the same one is the same.
    bool isSameFigure(const Geometry& other) const {
        return this == &other ||
               (kind != Kind::custom && kind == other.kind && radius == other.radius &&
                style == other.style && inset == other.inset);
    }
};

namespace {

// Each continuous corner leaves the edge this many radii before the corner and passes through the
// midpoint of the circular corner of the same radius, drawn as one cubic curve.
constexpr double kContinuousReach = 1.528;
constexpr double kCircleMidpoint = 2.343;  // 8 × (1 − 1/√2): a circle's corner midpoint, in radii

void addContinuousRoundedRect(Path& path, const Rect& r, double radius) {
    const double half = std::min(r.width(), r.height()) / 2;
    const double fitted = std::min(radius, half);
    const double reach = std::min(kContinuousReach * radius, half);
    const double handle = std::max(0.0, (kCircleMidpoint * fitted - reach) / 3);
    const double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    path.moveTo({x0 + reach, y0}).lineTo({x1 - reach, y0});
    path.curveTo({x1 - handle, y0}, {x1, y0 + handle}, {x1, y0 + reach}).lineTo({x1, y1 - reach});
    path.curveTo({x1, y1 - handle}, {x1 - handle, y1}, {x1 - reach, y1}).lineTo({x0 + reach, y1});
    path.curveTo({x0 + handle, y1}, {x0, y1 - handle}, {x0, y1 - reach}).lineTo({x0, y0 + reach});
    path.curveTo({x0, y0 + handle}, {x0 + handle, y0}, {x0 + reach, y0}).closeSubpath();
}

void addCircularRoundedRect(Path& path, const Rect& r, double radius) {
    const double fitted = std::min(radius, std::min(r.width(), r.height()) / 2);
    path.moveTo({r.midX(), r.minY()})
        .addArcTo({r.maxX(), r.minY()}, {r.maxX(), r.maxY()}, fitted)
        .addArcTo({r.maxX(), r.maxY()}, {r.minX(), r.maxY()}, fitted)
        .addArcTo({r.minX(), r.maxY()}, {r.minX(), r.minY()}, fitted)
        .addArcTo({r.minX(), r.minY()}, {r.maxX(), r.minY()}, fitted)
        .closeSubpath();
}

Path makePath(const Shape::Geometry& geometry, const Rect& frame) {
    const Rect r = insetBy(frame, geometry.inset, geometry.inset);
    Path path;
    using Kind = Shape::Geometry::Kind;
    switch (geometry.kind) {
        case Kind::rectangle:
            path.addRect(r);
            break;
        case Kind::roundedRectangle:
            if (geometry.radius <= 0) {
                path.addRect(r);
            } else if (geometry.style == RoundedCornerStyle::continuous) {
                addContinuousRoundedRect(path, r, geometry.radius);
            } else {
                addCircularRoundedRect(path, r, geometry.radius);
            }
            break;
        case Kind::circle: {
            const double side = std::min(r.width(), r.height());
            path.addEllipse({r.midX() - side / 2, r.midY() - side / 2, side, side});
            break;
        }
        case Kind::capsule:
            addCircularRoundedRect(path, r, std::min(r.width(), r.height()) / 2);
            break;
        case Kind::custom:
            path = geometry.custom(r);
            break;
    }
    return path;
}

enum class ShapeMode { fill, stroke, strokeBorder };

class ShapeElement final : public Element {
  public:
    ShapeElement(std::shared_ptr<const Shape::Geometry> geometry, ShapeMode mode,
                 std::optional<Paint> paint, StrokeStyle style)
        : geometry_(std::move(geometry)),
          mode_(mode),
          paint_(std::move(paint)),
          style_(std::move(style)) {}

    ElementChange changeFrom(const Element& older) const override {
        const auto& other = static_cast<const ShapeElement&>(older);
        return {false, !other.geometry_->isSameFigure(*geometry_) || other.mode_ != mode_ ||
                           other.paint_ != paint_ || other.style_ != style_};
    }

    AnimatedValue::Values animatableData(const Node& node) const override {
        const Color color = solidColor(node);
        return {color.red, color.green, color.blue, color.alpha, style_.lineWidth};
    }

    Size sizeThatFits(Node&, ProposedSize proposal, LayoutContext&) const override {
        return proposal.replacingUnspecified({10, 10});
    }

    void draw(const Node& node, DrawContext& context) const override {
        const Rect bounds(0, 0, node.frame().width(), node.frame().height());
        const Size presented = node.presentedFrame(context.now).size;
        cairo_t* cr = context.cr;
        const double lineWidth = node.presentedComponent(4, context.now);
        addPath(cr, Rect(0, 0, presented.width, presented.height), lineWidth);
        paint().apply(cr, bounds, node.presentedColor(0, context.now).opacity(context.opacity));
        if (mode_ == ShapeMode::fill) {
            cairo_fill(cr);
        } else {
            StrokeStyle style = style_;
            style.lineWidth = lineWidth;
            applyStrokeStyle(cr, style);
            cairo_stroke(cr);
        }
    }

    // A line centred on the outline reaches out by half its width, and further at mitred corners.
    double drawingOutset(const Node&) const override {
        return mode_ == ShapeMode::stroke ? style_.lineWidth : 0;
    }

    Node* hitTest(Node& node, Point point, cairo_t* scratch) const override {
        if (paint_ && paint_->isClear()) return nullptr;
        cairo_new_path(scratch);
        addPath(scratch, Rect(0, 0, node.frame().width(), node.frame().height()), style_.lineWidth);
        if (mode_ == ShapeMode::fill)
            return cairo_in_fill(scratch, point.x, point.y) ? &node : nullptr;
        applyStrokeStyle(scratch, style_);
        return cairo_in_stroke(scratch, point.x, point.y) ? &node : nullptr;
    }

    std::optional<Color> presentedColor(const Node& node, ColorRole role,
                                        double now) const override {
        const bool wanted =
            mode_ == ShapeMode::fill ? role == ColorRole::fill : role == ColorRole::stroke;
        if (!wanted || (paint_ && !paint_->color())) return std::nullopt;
        return node.presentedColor(0, now);
    }
    std::vector<AccessibilityNode> accessibility(const Node&, double) const override { return {}; }
    std::string debugName() const override {
        return mode_ == ShapeMode::fill ? "Shape fill" : "Shape stroke";
    }

    ShapeMode mode() const { return mode_; }

  private:
    Paint paint() const { return paint_.value_or(Paint(Color::white())); }
    Color solidColor(const Node& node) const {
        if (!paint_) return node.environment().foreground;
        return paint_->color().value_or(Color::clear());
    }
    void addPath(cairo_t* cr, const Rect& bounds, double lineWidth) const {
        const double inset = mode_ == ShapeMode::strokeBorder ? lineWidth / 2 : 0;
        makePath(*geometry_, insetBy(bounds, inset, inset)).apply(cr);
    }

    std::shared_ptr<const Shape::Geometry> geometry_;
    ShapeMode mode_;
    std::optional<Paint> paint_;
    StrokeStyle style_;
};

cairo_line_cap_t cairoCap(LineCap cap) {
    switch (cap) {
        case LineCap::butt:
            return CAIRO_LINE_CAP_BUTT;
        case LineCap::round:
            return CAIRO_LINE_CAP_ROUND;
        case LineCap::square:
            return CAIRO_LINE_CAP_SQUARE;
    }
    return CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t cairoJoin(LineJoin join) {
    switch (join) {
        case LineJoin::miter:
            return CAIRO_LINE_JOIN_MITER;
        case LineJoin::round:
            return CAIRO_LINE_JOIN_ROUND;
        case LineJoin::bevel:
            return CAIRO_LINE_JOIN_BEVEL;
    }
    return CAIRO_LINE_JOIN_MITER;
}

std::shared_ptr<const Shape::Geometry> geometryOf(
    Shape::Geometry::Kind kind, double radius = 0,
    RoundedCornerStyle style = RoundedCornerStyle::continuous) {
    auto geometry = std::make_shared<Shape::Geometry>();
    geometry->kind = kind;
    geometry->radius = radius;
    geometry->style = style;
    return geometry;
}

}  // namespace

void applyStrokeStyle(cairo_t* cr, const StrokeStyle& style) {
    cairo_set_line_width(cr, style.lineWidth);
    cairo_set_line_cap(cr, cairoCap(style.lineCap));
    cairo_set_line_join(cr, cairoJoin(style.lineJoin));
    cairo_set_miter_limit(cr, style.miterLimit);
    cairo_set_dash(cr, style.dash.data(), static_cast<int>(style.dash.size()), style.dashPhase);
}

Shape::Shape(std::shared_ptr<const Geometry> geometry)
    : View(std::make_shared<ShapeElement>(geometry, ShapeMode::fill, std::nullopt, StrokeStyle{})),
      geometry_(std::move(geometry)) {}

Shape::Shape(PathFunction path)
    : Shape([&] {
          auto geometry = std::make_shared<Geometry>();
          geometry->kind = Geometry::Kind::custom;
          geometry->custom = std::move(path);
          return std::shared_ptr<const Geometry>(geometry);
      }()) {}

Path Shape::path(const Rect& rect) const {
    return makePath(*geometry_, rect);
}

bool Shape::isSameFigure(const Shape& other) const {
    return geometry_->isSameFigure(*other.geometry_);
}

View Shape::fill(const Paint& paint) const {
    return View(std::make_shared<ShapeElement>(geometry_, ShapeMode::fill, paint, StrokeStyle{}));
}

View Shape::stroke(const Paint& paint, StrokeStyle style) const {
    return View(
        std::make_shared<ShapeElement>(geometry_, ShapeMode::stroke, paint, std::move(style)));
}

View Shape::strokeBorder(const Paint& paint, StrokeStyle style) const {
    return View(std::make_shared<ShapeElement>(geometry_, ShapeMode::strokeBorder, paint,
                                               std::move(style)));
}

Shape Shape::inset(double amount) const {
    auto geometry = std::make_shared<Geometry>(*geometry_);
    geometry->inset += amount;
    return Shape(std::shared_ptr<const Geometry>(geometry));
}

std::vector<Rect> Shape::partsOutsideFigure(const Rect& frame) const {
    using Kind = Geometry::Kind;
    const Geometry& geometry = *geometry_;
    if (geometry.inset != 0 ||
        (geometry.kind != Kind::rectangle && geometry.kind != Kind::roundedRectangle)) {
        return {frame};
    }
    if (geometry.kind == Kind::rectangle || geometry.radius <= 0) return {};
    const double half = std::min(frame.width(), frame.height()) / 2;
    const double reach = std::min(geometry.style == RoundedCornerStyle::continuous
                                      ? kContinuousReach * geometry.radius
                                      : geometry.radius,
                                  half);
    const double right = frame.maxX() - reach, bottom = frame.maxY() - reach;
    return {{frame.minX(), frame.minY(), reach, reach},
            {right, frame.minY(), reach, reach},
            {frame.minX(), bottom, reach, reach},
            {right, bottom, reach, reach}};
}

Rectangle::Rectangle() : Shape(geometryOf(Geometry::Kind::rectangle)) {}
RoundedRectangle::RoundedRectangle(double cornerRadius, RoundedCornerStyle style)
    : Shape(geometryOf(Geometry::Kind::roundedRectangle, cornerRadius, style)) {}
Circle::Circle() : Shape(geometryOf(Geometry::Kind::circle)) {}
Capsule::Capsule() : Shape(geometryOf(Geometry::Kind::capsule)) {}

}  // namespace talvori::ui

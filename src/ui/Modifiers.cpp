// The layout and drawing modifiers of View: each wraps the view in an element with one child.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

#include "ui/AccessibilityNode.hpp"
#include "ui/DamageRegion.hpp"
#include "ui/ForEach.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"
#include "ui/Shadow.hpp"
#include "ui/Shape.hpp"
#include "ui/Stack.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

namespace {

Node* onlyChild(const Node& node) {
    const auto& children = node.layoutChildren();
    return children.empty() ? nullptr : children.front();
}

bool firstChildMayHaveExplicitGuide(const Node& node) {
    const Node* child = onlyChild(node);
    return child && child->mayHaveExplicitGuide();
}

Rect bounds(const Node& node) {
    return {0, 0, node.frame().width(), node.frame().height()};
}

class ColorElement final : public Element {
  public:
    explicit ColorElement(Color color) : color_(color) {}
    // The colour is animatable data, compared by the node.
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AnimatedValue::Values animatableData(const Node&) const override {
        return {color_.red, color_.green, color_.blue, color_.alpha};
    }
    Size sizeThatFits(Node&, ProposedSize proposal, LayoutContext&) const override {
        return proposal.replacingUnspecified({10, 10});
    }
    void draw(const Node& node, DrawContext& context) const override {
        const Size size = node.presentedFrame(context.now).size;
        setSourceColor(context.cr, node.presentedColor(0, context.now).opacity(context.opacity));
        cairo_rectangle(context.cr, 0, 0, size.width, size.height);
        cairo_fill(context.cr);
    }
    OpacityHandling opacityHandling(const Node&) const override { return OpacityHandling::applies; }
    Node* hitTest(Node& node, Point point, cairo_t*) const override {
        return !color_.isClear() && bounds(node).contains(point) ? &node : nullptr;
    }
    std::vector<AccessibilityNode> accessibility(const Node&, double) const override { return {}; }
    std::optional<Color> presentedColor(const Node& node, ColorRole role,
                                        double now) const override {
        if (role != ColorRole::fill) return std::nullopt;
        return node.presentedColor(0, now);
    }
    std::string debugName() const override { return "Color " + color_.description(); }

  private:
    Color color_;
};

class PaddingElement final : public ModifierElement {
  public:
    PaddingElement(std::shared_ptr<const Element> content, EdgeInsets insets)
        : ModifierElement(std::move(content)), insets_(insets) {}
    ElementChange changeFrom(const Element& older) const override {
        return {static_cast<const PaddingElement&>(older).insets_ != insets_, false};
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        Node* child = onlyChild(node);
        const Size inner = child ? child->sizeThatFits(inset(proposal), context) : Size{};
        return {std::max(0.0, inner.width + insets_.horizontal()),
                std::max(0.0, inner.height + insets_.vertical())};
    }
    void place(Node& node, Size size, LayoutContext& context) const override {
        Node* child = onlyChild(node);
        if (!child) return;
        const Size inner{std::max(0.0, size.width - insets_.horizontal()),
                         std::max(0.0, size.height - insets_.vertical())};
        child->place(Rect({insets_.leading, insets_.top}, inner), context);
    }
    std::optional<double> firstBaseline(Node& node, Size size,
                                        LayoutContext& context) const override {
        Node* child = onlyChild(node);
        if (!child) return std::nullopt;
        const Size inner{std::max(0.0, size.width - insets_.horizontal()),
                         std::max(0.0, size.height - insets_.vertical())};
        const auto baseline = child->firstBaseline(inner, context);
        return baseline ? std::optional(*baseline + insets_.top) : std::nullopt;
    }
    std::optional<double> explicitGuide(Node& node, Size size, HorizontalAlignment guide,
                                        LayoutContext& context) const override {
        return innerGuide(node, size, guide, context, insets_.leading);
    }
    std::optional<double> explicitGuide(Node& node, Size size, VerticalAlignment guide,
                                        LayoutContext& context) const override {
        return innerGuide(node, size, guide, context, insets_.top);
    }
    bool mayHaveExplicitGuide(const Node& node) const override {
        return firstChildMayHaveExplicitGuide(node);
    }
    std::string debugName() const override { return "padding"; }

  private:
    template <class Guide>
    std::optional<double> innerGuide(Node& node, Size size, Guide guide, LayoutContext& context,
                                     double offset) const {
        Node* child = onlyChild(node);
        if (!child) return std::nullopt;
        const Size inner{std::max(0.0, size.width - insets_.horizontal()),
                         std::max(0.0, size.height - insets_.vertical())};
        const auto value = child->explicitGuide(inner, guide, context);
        return value ? std::optional(*value + offset) : std::nullopt;
    }
    ProposedSize inset(ProposedSize proposal) const {
        auto shrink = [](std::optional<double> length, double by) -> std::optional<double> {
            if (!length) return std::nullopt;
            return std::max(0.0, *length - by);
        };
        return {shrink(proposal.width, insets_.horizontal()),
                shrink(proposal.height, insets_.vertical())};
    }
    EdgeInsets insets_;
};

// One axis of a frame: fixed, flexible, or following the content.
struct FrameAxis {
    std::optional<double> fixed, min, ideal, max;
    bool operator==(const FrameAxis&) const = default;

    bool isFlexible() const { return min || ideal || max; }
    std::optional<double> childProposal(std::optional<double> proposal) const {
        if (fixed) return fixed;
        if (!isFlexible()) return proposal;
        if (!proposal) return ideal;
        return std::clamp(*proposal, min.value_or(-infinity),
                          std::max(min.value_or(-infinity), max.value_or(infinity)));
    }
    double result(std::optional<double> proposal, double child) const {
        if (fixed) return *fixed;
        if (!isFlexible()) return child;
        // Bounded by min and max, the frame leans towards the proposal from its content's size.
        const double proposed = proposal ? *proposal : ideal.value_or(child);
        double length = child;
        if (min) length = std::max(*min, std::min(length, proposed));
        if (max) length = std::min(*max, std::max(length, proposed));
        return length;
    }
};

class FrameElement final : public ModifierElement {
  public:
    FrameElement(std::shared_ptr<const Element> content, const Frame& frame)
        : ModifierElement(std::move(content)),
          width_{frame.width, frame.minWidth, frame.idealWidth, frame.maxWidth},
          height_{frame.height, frame.minHeight, frame.idealHeight, frame.maxHeight},
          alignment_(frame.alignment) {}
    ElementChange changeFrom(const Element& older) const override {
        const auto& other = static_cast<const FrameElement&>(older);
        return {
            other.width_ != width_ || other.height_ != height_ || other.alignment_ != alignment_,
            false};
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        Node* child = onlyChild(node);
        const Size inner = child ? child->sizeThatFits(childProposal(proposal), context) : Size{};
        return {width_.result(proposal.width, inner.width),
                height_.result(proposal.height, inner.height)};
    }
    void place(Node& node, Size size, LayoutContext& context) const override {
        Node* child = onlyChild(node);
        if (!child) return;
        const Size inner = child->sizeThatFits(childProposal(ProposedSize::of(size)), context);
        child->place(Rect(origin(size, inner), inner), context);
    }
    std::optional<double> firstBaseline(Node& node, Size size,
                                        LayoutContext& context) const override {
        Node* child = onlyChild(node);
        if (!child) return std::nullopt;
        const Size inner = child->sizeThatFits(childProposal(ProposedSize::of(size)), context);
        const auto baseline = child->firstBaseline(inner, context);
        return baseline ? std::optional(*baseline + origin(size, inner).y) : std::nullopt;
    }
    std::optional<double> explicitGuide(Node& node, Size size, HorizontalAlignment guide,
                                        LayoutContext& context) const override {
        return innerGuide(node, size, guide, context);
    }
    std::optional<double> explicitGuide(Node& node, Size size, VerticalAlignment guide,
                                        LayoutContext& context) const override {
        return innerGuide(node, size, guide, context);
    }
    bool mayHaveExplicitGuide(const Node& node) const override {
        return firstChildMayHaveExplicitGuide(node);
    }
    std::string debugName() const override { return "frame"; }

  private:
    template <class Guide>
    std::optional<double> innerGuide(Node& node, Size size, Guide guide,
                                     LayoutContext& context) const {
        Node* child = onlyChild(node);
        if (!child || !child->mayHaveExplicitGuide()) return std::nullopt;
        const Size inner = child->sizeThatFits(childProposal(ProposedSize::of(size)), context);
        const auto value = child->explicitGuide(inner, guide, context);
        if (!value) return std::nullopt;
        const Point at = origin(size, inner);
        return *value + (std::is_same_v<Guide, HorizontalAlignment> ? at.x : at.y);
    }
    ProposedSize childProposal(ProposedSize proposal) const {
        return {width_.childProposal(proposal.width), height_.childProposal(proposal.height)};
    }
    Point origin(Size size, Size inner) const {
        return {alignedOffset(alignment_.horizontal, size.width, inner.width),
                alignedOffset(alignment_.vertical, size.height, inner.height)};
    }
    FrameAxis width_, height_;
    Alignment alignment_;
};

class FixedSizeElement final : public ModifierElement {
  public:
    FixedSizeElement(std::shared_ptr<const Element> content, bool horizontal, bool vertical)
        : ModifierElement(std::move(content)), horizontal_(horizontal), vertical_(vertical) {}
    ElementChange changeFrom(const Element& older) const override {
        const auto& other = static_cast<const FixedSizeElement&>(older);
        return {other.horizontal_ != horizontal_ || other.vertical_ != vertical_, false};
    }
    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        Node* child = onlyChild(node);
        return child ? child->sizeThatFits(fixed(proposal), context) : Size{};
    }
    void place(Node& node, Size size, LayoutContext& context) const override {
        if (Node* child = onlyChild(node)) {
            const Size inner = child->sizeThatFits(fixed(ProposedSize::of(size)), context);
            child->place(
                Rect({(size.width - inner.width) / 2, (size.height - inner.height) / 2}, inner),
                context);
        }
    }
    std::string debugName() const override { return "fixedSize"; }

  private:
    ProposedSize fixed(ProposedSize proposal) const {
        return {horizontal_ ? std::nullopt : proposal.width,
                vertical_ ? std::nullopt : proposal.height};
    }
    bool horizontal_, vertical_;
};

class PositionElement final : public ModifierElement {
  public:
    PositionElement(std::shared_ptr<const Element> content, Point position)
        : ModifierElement(std::move(content)), position_(position) {}
    ElementChange changeFrom(const Element& older) const override {
        return {static_cast<const PositionElement&>(older).position_ != position_, false};
    }
    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        Node* child = onlyChild(node);
        const Size inner = child ? child->sizeThatFits(proposal, context) : Size{};
        return proposal.replacingUnspecified(inner);
    }
    void place(Node& node, Size size, LayoutContext& context) const override {
        if (Node* child = onlyChild(node)) {
            const Size inner = child->sizeThatFits(ProposedSize::of(size), context);
            child->place(
                Rect({position_.x - inner.width / 2, position_.y - inner.height / 2}, inner),
                context);
        }
    }
    std::string debugName() const override { return "position"; }

  private:
    Point position_;
};

// A background or overlay: the decoration takes the content's size and sits behind or in front.
class DecorationElement final : public Element {
  public:
    DecorationElement(std::shared_ptr<const Element> content,
                      std::shared_ptr<const Element> decoration, Alignment alignment, bool behind)
        : alignment_(alignment), behind_(behind) {
        ChildEntry contentEntry{ChildKey{0, {}}, std::move(content)};
        ChildEntry decorationEntry{ChildKey{1, {}}, std::move(decoration)};
        children_ = behind ? std::vector{decorationEntry, contentEntry}
                           : std::vector{contentEntry, decorationEntry};
    }
    std::span<const ChildEntry> children() const override { return children_; }
    ElementChange changeFrom(const Element& older) const override {
        const auto& other = static_cast<const DecorationElement&>(older);
        return {other.alignment_ != alignment_ || other.behind_ != behind_, false};
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        Node* content = part(node, 0);
        return content ? content->sizeThatFits(proposal, context) : Size{};
    }
    void place(Node& node, Size size, LayoutContext& context) const override {
        if (Node* content = part(node, 0)) content->place(Rect({0, 0}, size), context);
        if (Node* decoration = part(node, 1)) {
            const Size inner = decoration->sizeThatFits(ProposedSize::of(size), context);
            decoration->place(Rect({alignedOffset(alignment_.horizontal, size.width, inner.width),
                                    alignedOffset(alignment_.vertical, size.height, inner.height)},
                                   inner),
                              context);
        }
    }
    std::optional<double> firstBaseline(Node& node, Size size,
                                        LayoutContext& context) const override {
        Node* content = part(node, 0);
        return content ? content->firstBaseline(size, context) : std::nullopt;
    }
    std::optional<double> explicitGuide(Node& node, Size size, HorizontalAlignment guide,
                                        LayoutContext& context) const override {
        Node* content = part(node, 0);
        return content ? content->explicitGuide(size, guide, context) : std::nullopt;
    }
    std::optional<double> explicitGuide(Node& node, Size size, VerticalAlignment guide,
                                        LayoutContext& context) const override {
        Node* content = part(node, 0);
        return content ? content->explicitGuide(size, guide, context) : std::nullopt;
    }
    bool mayHaveExplicitGuide(const Node& node) const override {
        const Node* content = part(node, 0);
        return content && content->mayHaveExplicitGuide();
    }
    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        // The decoration is part of the look, not of what the view says.
        for (const auto& child : node.children()) {
            if (child->key().index == 0 && !child->isRemoving())
                return accessibilityElementsOf(*child, now);
        }
        return {};
    }
    std::string debugName() const override { return behind_ ? "background" : "overlay"; }

  private:
    static Node* part(const Node& node, std::int64_t index) {
        for (const auto& child : node.children()) {
            if (child->key().index == index && !child->isRemoving()) return child.get();
        }
        return nullptr;
    }
    std::vector<ChildEntry> children_;
    Alignment alignment_;
    bool behind_;
};

class OffsetElement final : public ModifierElement {
  public:
    OffsetElement(std::shared_ptr<const Element> content, Point offset)
        : ModifierElement(std::move(content)), offset_(offset) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AnimatedValue::Values animatableData(const Node&) const override {
        return {offset_.x, offset_.y};
    }
    void applyTransform(const Node& node, double now, cairo_matrix_t& matrix) const override {
        cairo_matrix_translate(&matrix, node.presentedComponent(0, now),
                               node.presentedComponent(1, now));
    }
    std::string debugName() const override { return "offset"; }

  private:
    Point offset_;
};

class OpacityElement final : public ModifierElement {
  public:
    // An opacity that is no number has no effect, rather than hiding a view that still takes
    // clicks.
    OpacityElement(std::shared_ptr<const Element> content, double opacity)
        : ModifierElement(std::move(content)),
          opacity_(std::isnan(opacity) ? 1 : std::clamp(opacity, 0.0, 1.0)) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AnimatedValue::Values animatableData(const Node&) const override { return {opacity_}; }
    double opacity(const Node& node, double now) const override {
        return node.presentedComponent(0, now);
    }
    double targetOpacity() const override { return opacity_; }
    std::string debugName() const override { return "opacity"; }

  private:
    double opacity_;
};

class ScaleElement final : public ModifierElement {
  public:
    ScaleElement(std::shared_ptr<const Element> content, double x, double y, UnitPoint anchor)
        : ModifierElement(std::move(content)), x_(x), y_(y), anchor_(anchor) {}
    ElementChange changeFrom(const Element& older) const override {
        return {false, static_cast<const ScaleElement&>(older).anchor_ != anchor_};
    }
    AnimatedValue::Values animatableData(const Node&) const override { return {x_, y_}; }
    void applyTransform(const Node& node, double now, cairo_matrix_t& matrix) const override {
        const Size size = node.presentedFrame(now).size;
        const double ax = anchor_.x * size.width, ay = anchor_.y * size.height;
        cairo_matrix_translate(&matrix, ax, ay);
        cairo_matrix_scale(&matrix, node.presentedComponent(0, now),
                           node.presentedComponent(1, now));
        cairo_matrix_translate(&matrix, -ax, -ay);
    }
    std::string debugName() const override { return "scaleEffect"; }

  private:
    double x_, y_;
    UnitPoint anchor_;
};

class RotationElement final : public ModifierElement {
  public:
    RotationElement(std::shared_ptr<const Element> content, double degrees, UnitPoint anchor)
        : ModifierElement(std::move(content)), degrees_(degrees), anchor_(anchor) {}
    ElementChange changeFrom(const Element& older) const override {
        return {false, static_cast<const RotationElement&>(older).anchor_ != anchor_};
    }
    AnimatedValue::Values animatableData(const Node&) const override { return {degrees_}; }
    void applyTransform(const Node& node, double now, cairo_matrix_t& matrix) const override {
        const Size size = node.presentedFrame(now).size;
        const double ax = anchor_.x * size.width, ay = anchor_.y * size.height;
        cairo_matrix_translate(&matrix, ax, ay);
        cairo_matrix_rotate(&matrix, node.presentedComponent(0, now) * std::numbers::pi / 180);
        cairo_matrix_translate(&matrix, -ax, -ay);
    }
    std::string debugName() const override { return "rotationEffect"; }

  private:
    double degrees_;
    UnitPoint anchor_;
};

bool liesOnWholePixels(cairo_t* cr, const Rect& rect) {
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    const Rect box = boundingBox(matrix, rect);
    const auto whole = [](double value) { return value == std::round(value); };
    return matrix.xy == 0 && matrix.yx == 0 && whole(box.minX()) && whole(box.minY()) &&
           whole(box.maxX()) && whole(box.maxY());
}

// Clips drawing, and pointer input, to a shape.
class ClipElement final : public ModifierElement {
  public:
    ClipElement(std::shared_ptr<const Element> content, Shape shape)
        : ModifierElement(std::move(content)), shape_(std::move(shape)) {}
    ElementChange changeFrom(const Element& older) const override {
        return {false, !static_cast<const ClipElement&>(older).shape_.isSameFigure(shape_)};
    }
    void draw(const Node& node, DrawContext& context) const override {
        const Size size = node.presentedFrame(context.now).size;
        cairo_t* cr = context.cr;
        // The content drawn once into a group, then painted through the shape: one masked paint
        // instead of a mask on every operation inside.
        cairo_save(cr);
        cairo_rectangle(cr, 0, 0, size.width, size.height);
        cairo_clip(cr);
        cairo_push_group(cr);
        const double opacity = context.opacity;
        context.opacity = 1;
        node.drawChildren(context);
        context.opacity = opacity;
        cairo_pop_group_to_source(cr);
        // Where only the figure's inside is drawn again (a changed text in a rounded row), the
        // frame clips as the figure does, and the mask is left out.
        if (touchesOutsideFigure(context, Rect({0, 0}, size))) {
            cairo_new_path(cr);
            shape_.path(Rect(0, 0, size.width, size.height)).apply(cr);
            cairo_clip(cr);
        }
        cairo_paint_with_alpha(cr, opacity);
        cairo_restore(cr);
    }
    OpacityHandling opacityHandling(const Node&) const override { return OpacityHandling::applies; }
    bool clipsContent() const override { return true; }
    Node* hitTest(Node& node, Point point, cairo_t* scratch) const override {
        cairo_new_path(scratch);
        shape_.path(bounds(node)).apply(scratch);
        if (!cairo_in_fill(scratch, point.x, point.y)) return nullptr;
        return node.hitTestChildren(point, scratch);
    }
    std::string debugName() const override { return "clipShape"; }

  private:
    bool touchesOutsideFigure(const DrawContext& context, const Rect& frame) const {
        auto outside = shape_.partsOutsideFigure(frame);
        if (!liesOnWholePixels(context.cr, frame)) {
            // Edges between pixels: the figure's edge is drawn unlike the frame's.
            const double x = frame.minX(), y = frame.minY(), w = frame.width(), h = frame.height();
            outside.insert(outside.end(), {Rect(x, y, w, 1), Rect(x, frame.maxY() - 1, w, 1),
                                           Rect(x, y, 1, h), Rect(frame.maxX() - 1, y, 1, h)});
        }
        return std::any_of(outside.begin(), outside.end(),
                           [&](const Rect& part) { return context.redraws(part); });
    }

    Shape shape_;
};

class ContentShapeElement final : public ModifierElement {
  public:
    ContentShapeElement(std::shared_ptr<const Element> content, Shape shape)
        : ModifierElement(std::move(content)), shape_(std::move(shape)) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    Node* hitTest(Node& node, Point point, cairo_t* scratch) const override {
        cairo_new_path(scratch);
        shape_.path(bounds(node)).apply(scratch);
        if (!cairo_in_fill(scratch, point.x, point.y)) return nullptr;
        if (Node* hit = node.hitTestChildren(point, scratch)) return hit;
        return &node;
    }
    std::string debugName() const override { return "contentShape"; }

  private:
    Shape shape_;
};

class HitTestingElement final : public ModifierElement {
  public:
    HitTestingElement(std::shared_ptr<const Element> content, bool allows)
        : ModifierElement(std::move(content)), allows_(allows) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    bool allowsHitTesting() const override { return allows_; }
    std::string debugName() const override {
        return allows_ ? "allowsHitTesting" : "allowsHitTesting(false)";
    }

  private:
    bool allows_;
};

struct ShadowStorage final : NodeStorage {
    KeptShadowMask mask;
    // What the mask was made from: the content as it was at this count of changes, drawn at
    // this opacity.
    std::uint64_t contentChanges = 0;
    double opacity = 1;
};

class ShadowElement final : public ModifierElement {
  public:
    ShadowElement(std::shared_ptr<const Element> content, Color color, double radius, Point offset)
        : ModifierElement(std::move(content)), color_(color), radius_(radius), offset_(offset) {}
    // Colour, radius and offset are animatable data, compared by the node.
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AnimatedValue::Values animatableData(const Node&) const override {
        return {color_.red, color_.green, color_.blue, color_.alpha, radius_, offset_.x, offset_.y};
    }
    void draw(const Node& node, DrawContext& context) const override {
        const auto v = node.presentedData(context.now);
        // Around what the content draws, which a modifier inside may have moved off the frame.
        // A partial drawing makes only the part of the shadow it shows: a wide shadow made whole
        // costs far more than the views in a small change.
        const std::optional<Rect> area =
            context.clip ? std::optional(context.clip->bounds()) : std::nullopt;
        drawShadow(
            context.cr, node.contentBounds(context.now), {v[0], v[1], v[2], v[3]}, v[4],
            {v[5], v[6]}, area,
            [&](cairo_t* target, const Rect& needed) {
                DamageRegion part;
                part.add(needed);
                DrawContext shadowContext = context;
                shadowContext.cr = target;
                shadowContext.clip = &part;
                shadowContext.recordScale = 0;
                shadowContext.drawnCount = nullptr;
                node.drawChildren(shadowContext);
            },
            keptMask(node, context));
        node.drawChildren(context);
    }
    OpacityHandling opacityHandling(const Node&) const override {
        return OpacityHandling::needsGroup;
    }
    double contentSpread(const Node& node) const override { return drawingOutset(node); }
    double drawingOutset(const Node&) const override {
        return 2 * radius_ + std::max(std::abs(offset_.x), std::abs(offset_.y)) + 1;
    }
    std::string debugName() const override { return "shadow"; }
    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        node.ensureStorage<ShadowStorage>();
    }
    void willDisappear(Node& node) const override { node.clearStorage(); }

  private:
    // The mask to keep for the next drawing, for drawings into the host's own picture only: there
    // every change to the content (an animation's frame too) is known before the drawing. A whole
    // drawing makes the whole mask anyway; a partial one makes it whole only once the content has
    // stayed the same from one drawing to the next, so that a content changing at every frame
    // keeps making the small part a partial drawing needs.
    static KeptShadowMask* keptMask(const Node& node, const DrawContext& context) {
        auto* storage = node.storage<ShadowStorage>();
        if (!storage || context.recordScale <= 0) return nullptr;
        // The node drawing has taken its drawing bounds: the count stays until the content changes.
        const bool unchanged = storage->contentChanges == node.boundsInvalidations() &&
                               storage->opacity == context.opacity;
        if (!unchanged) {
            storage->mask = {};
            storage->contentChanges = node.boundsInvalidations();
            storage->opacity = context.opacity;
        }
        return unchanged || !context.clip ? &storage->mask : nullptr;
    }

    Color color_;
    double radius_;
    Point offset_;
};

class EnvironmentElement final : public ModifierElement {
  public:
    EnvironmentElement(std::shared_ptr<const Element> content,
                       std::function<void(Environment&)> modify)
        : ModifierElement(std::move(content)), modify_(std::move(modify)) {}
    // What the environment changes, the nodes below compare.
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    bool modifiesEnvironment() const override { return true; }
    void modifyEnvironment(Environment& environment) const override { modify_(environment); }
    std::string debugName() const override { return "environment"; }

  private:
    std::function<void(Environment&)> modify_;
};

class IdentityElement final : public ModifierElement {
  public:
    IdentityElement(std::shared_ptr<const Element> content, AnyValue identity)
        : ModifierElement(std::move(content)), identity_(std::move(identity)) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    bool canUpdateTo(const Element& newer) const override {
        const auto* other = dynamic_cast<const IdentityElement*>(&newer);
        return other && other->identity_ == identity_;
    }
    std::string debugName() const override { return "id"; }

  private:
    AnyValue identity_;
};

class TransitionElement final : public ModifierElement {
  public:
    TransitionElement(std::shared_ptr<const Element> content, Transition transition)
        : ModifierElement(std::move(content)), transition_(std::move(transition)) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    const Transition* transition() const override { return &transition_; }
    std::string debugName() const override { return "transition"; }

  private:
    Transition transition_;
};

struct LastValueStorage final : NodeStorage {
    AnyValue value;
};

class AnimationElement final : public ModifierElement {
  public:
    AnimationElement(std::shared_ptr<const Element> content, std::optional<Animation> animation,
                     AnyValue value)
        : ModifierElement(std::move(content)),
          animation_(std::move(animation)),
          value_(std::move(value)) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    Transaction childTransaction(const Node& node, const Transaction& transaction) const override {
        const auto* last = node.storage<LastValueStorage>();
        if (!last || last->value == value_ || transaction.disablesAnimations) return transaction;
        return Transaction{animation_, false};
    }
    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        node.ensureStorage<LastValueStorage>().value = value_;
    }
    std::string debugName() const override { return "animation"; }

  private:
    std::optional<Animation> animation_;
    AnyValue value_;
};

}  // namespace

View::View(const Color& color) : element_(std::make_shared<ColorElement>(color)) {}

View View::padding(EdgeInsets insets) const {
    return View(std::make_shared<PaddingElement>(element_, insets));
}

View View::frame(double width, double height, Alignment alignment) const {
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.alignment = alignment;
    return this->frame(frame);
}

View View::frame(const Frame& frame) const {
    return View(std::make_shared<FrameElement>(element_, frame));
}

View View::fixedSize(bool horizontal, bool vertical) const {
    return View(std::make_shared<FixedSizeElement>(element_, horizontal, vertical));
}

View View::offset(double x, double y) const {
    return View(std::make_shared<OffsetElement>(element_, Point{x, y}));
}

View View::position(double x, double y) const {
    return View(std::make_shared<PositionElement>(element_, Point{x, y}));
}

View View::background(const View& view, Alignment alignment) const {
    return View(std::make_shared<DecorationElement>(element_, view.element_, alignment, true));
}

View View::overlay(const View& view, Alignment alignment) const {
    return View(std::make_shared<DecorationElement>(element_, view.element_, alignment, false));
}

View View::opacity(double opacity) const {
    return View(std::make_shared<OpacityElement>(element_, opacity));
}

View View::scaleEffect(double scale, UnitPoint anchor) const {
    return scaleEffect(scale, scale, anchor);
}

View View::scaleEffect(double x, double y, UnitPoint anchor) const {
    return View(std::make_shared<ScaleElement>(element_, x, y, anchor));
}

View View::rotationEffect(double degrees, UnitPoint anchor) const {
    return View(std::make_shared<RotationElement>(element_, degrees, anchor));
}

View View::clipShape(const Shape& shape) const {
    return View(std::make_shared<ClipElement>(element_, shape));
}

View View::clipped() const {
    return clipShape(Rectangle());
}

View View::shadow(const Color& color, double radius, double x, double y) const {
    return View(std::make_shared<ShadowElement>(element_, color, radius, Point{x, y}));
}

View View::environment(std::function<void(Environment&)> modify) const {
    return View(std::make_shared<EnvironmentElement>(element_, std::move(modify)));
}

View View::font(const Font& font) const {
    return environment([font](Environment& environment) { environment.font = font; });
}

View View::foregroundColor(const Color& color) const {
    return environment([color](Environment& environment) { environment.foreground = color; });
}

View View::tint(const Color& color) const {
    return environment([color](Environment& environment) { environment.tint = color; });
}

View View::lineLimit(std::optional<int> lines) const {
    return environment([lines](Environment& environment) { environment.lineLimit = lines; });
}

View View::tracking(double tracking) const {
    return environment([tracking](Environment& environment) { environment.tracking = tracking; });
}

View View::multilineTextAlignment(TextAlignment alignment) const {
    return environment(
        [alignment](Environment& environment) { environment.multilineTextAlignment = alignment; });
}

View View::underline(bool active) const {
    return environment([active](Environment& environment) { environment.underline = active; });
}

View View::lineSpacing(double spacing) const {
    // A spacing that is no number or negative adds nothing.
    const double extra = std::isfinite(spacing) ? std::max(0.0, spacing) : 0.0;
    return environment([extra](Environment& environment) { environment.lineSpacing = extra; });
}

View View::textSelection(bool enabled) const {
    return environment(
        [enabled](Environment& environment) { environment.textSelectionEnabled = enabled; });
}

View View::disabled(bool disabled) const {
    return environment([disabled](Environment& environment) {
        environment.isEnabled = environment.isEnabled && !disabled;
    });
}

View View::buttonStyle(ButtonStyle style) const {
    auto shared = std::make_shared<const ButtonStyle>(std::move(style));
    return environment([shared](Environment& environment) { environment.buttonStyle = shared; });
}

View View::idValue(AnyValue value) const {
    return View(std::make_shared<IdentityElement>(element_, std::move(value)));
}

View View::transition(const Transition& transition) const {
    return View(std::make_shared<TransitionElement>(element_, transition));
}

View View::animationValue(std::optional<Animation> animation, AnyValue value) const {
    return View(
        std::make_shared<AnimationElement>(element_, std::move(animation), std::move(value)));
}

View View::contentShape(const Shape& shape) const {
    return View(std::make_shared<ContentShapeElement>(element_, shape));
}

View View::allowsHitTesting(bool allows) const {
    return View(std::make_shared<HitTestingElement>(element_, allows));
}

Group::Group(ViewList children) : View(makeGroupElement(childEntries(children))) {}

}  // namespace talvori::ui

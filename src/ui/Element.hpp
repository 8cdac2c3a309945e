#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ui/Alignment.hpp"
#include "ui/AnimatedValue.hpp"
#include "ui/Binding.hpp"
#include "ui/Environment.hpp"
#include "ui/KeyPress.hpp"
#include "ui/ProposedSize.hpp"
#include "ui/Transaction.hpp"
#include "ui/Transition.hpp"

namespace talvori {
struct AccessibilityNode;
}

namespace talvori::ui {

class DamageRegion;
class Element;
class Host;
class IconCatalog;
class Node;
class TextMeasurer;
enum class TextRendering;

// Where a child sits among its siblings: its position, or the key a ForEach gave it.
struct ChildKey {
    std::int64_t index = 0;
    std::string name;
    bool operator==(const ChildKey&) const = default;
};

struct ChildEntry {
    ChildKey key;
    std::shared_ptr<const Element> element;
};

enum class Axis { horizontal, vertical };

struct UpdateContext {
    Host& host;
    Transaction transaction;
    std::uint64_t pass;
    double now;
};

struct LayoutContext {
    Host& host;
    TextMeasurer& text;
    std::uint64_t pass;
    double now;
    // The transaction frames change in, inherited down the tree.
    Transaction transaction;
    // The axis of the stack measuring its children, for spacers.
    std::optional<Axis> stackAxis;
    // Set by whatever reads stackAxis while measuring: only such answers depend on the axis.
    bool stackAxisRead = false;
};

struct DrawContext {
    cairo_t* cr;
    double now;
    TextMeasurer& text;
    IconCatalog& icons;
    // An opacity that the painting element below must apply itself (instead of a group).
    double opacity = 1;
    // Where the picture is drawn again, in device pixels; none: everywhere. Views wholly outside
    // it are left out.
    const DamageRegion* clip = nullptr;
    // Device pixels per host point, and where the host's origin lies in device pixels, when the
    // picture is the host's (its kept frame or its window's), so that every view drawn records
    // where it landed; 0 for any other picture (a shadow's mask, say).
    double recordScale = 0;
    Point recordOrigin{};
    // Counts the views drawn, when set.
    std::size_t* drawnCount = nullptr;
    // A view above scales or turns what is drawn (a pressed button, a transition).
    bool transformedByViews = false;

    // Whether any part of `rect`, in the current drawing coordinates, is drawn again.
    bool redraws(const Rect& rect) const;
    // Texts under a transform that changes with every frame of an animation are filled as
    // outlines: as glyphs, each frame's scale would make fonts of its own, each with its glyph
    // set in the X server, kept long after.
    TextRendering textRendering() const;
};

// The smallest rectangle holding `rect` carried by `matrix`.
Rect boundingBox(const cairo_matrix_t& matrix, const Rect& rect);

// What showing an element in place of an older one of the same type changes for its node. Its
// animatable data and its environment are compared apart, by the node.
struct ElementChange {
    // What the node measures, or where it puts its children.
    bool layout = true;
    // What the node paints itself, or does to its subtree's painting (a clip, a shadow).
    bool drawing = true;

    static constexpr ElementChange none() { return {false, false}; }
    static constexpr ElementChange layoutOnly() { return {true, false}; }
    static constexpr ElementChange drawingOnly() { return {false, true}; }
};

// How an element lets an opacity above it through.
enum class OpacityHandling {
    // Paints nothing itself: the opacity goes on to its only child.
    passThrough,
    // Paints once, applying DrawContext::opacity itself.
    applies,
    // Paints more than once: the subtree needs a group.
    needsGroup,
};

enum class PointerPhase { began, moved, ended, cancelled };

struct PointerEvent {
    PointerPhase phase;
    // In the handling node's own coordinates.
    Point location;
    Point startLocation;
    bool isInside = false;
};

// The description of one view: immutable, shared between builds, made by the View API. The
// runtime counterpart that keeps identity, state, frames and animations is the Node; an element
// tells its node how to lay out, draw, hit-test and react.
class Element {
  public:
    virtual ~Element() = default;

    // Whether a node showing this element may show `newer` instead, keeping its identity.
    virtual bool canUpdateTo(const Element& newer) const;
    // Whether `older`, shown by the node now, makes the same view (the body need not run again).
    virtual bool isEquivalentTo(const Element& /*older*/) const { return false; }
    virtual std::span<const ChildEntry> children() const { return {}; }
    // What taking this element's place changes, `older` being of the same type. Saying too much
    // costs time only; saying too little leaves a stale layout or picture, so the default says
    // everything changed.
    virtual ElementChange changeFrom(const Element& /*older*/) const { return {}; }
    // Brings the node's children up to date; components run their body here.
    virtual void reconcile(Node& node, UpdateContext& context) const;
    // Called after the node took this element; `older` is the previous one (none on insertion).
    virtual void didUpdate(Node& /*node*/, const Element* /*older*/,
                           UpdateContext& /*context*/) const {}
    virtual void didAppear(Node& /*node*/) const {}
    virtual void willDisappear(Node& /*node*/) const {}
    virtual void didResize(Node& /*node*/, Size /*size*/) const {}
    // The window showing the node reached the screen or left it.
    virtual void screenPresenceChanged(Node& /*node*/, bool /*isOnScreen*/) const {}
    // Whether children are laid out by the enclosing stack (Group and ForEach).
    virtual bool isTransparentContainer() const { return false; }

    virtual bool modifiesEnvironment() const { return false; }
    virtual void modifyEnvironment(Environment& /*environment*/) const {}
    // The transaction for this subtree (animation(value) changes it).
    virtual Transaction childTransaction(const Node& /*node*/,
                                         const Transaction& transaction) const {
        return transaction;
    }
    virtual const Transition* transition() const { return nullptr; }

    // The numbers this element draws with that animate (opacity, offset, colours...).
    virtual AnimatedValue::Values animatableData(const Node& /*node*/) const { return {}; }

    virtual Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const;
    // Whether the parent lays the node out by its measured sizes alone, without reading the element
    // itself (a stack reads a spacer's minimum length): only then can a change inside the node stop
    // at it when its sizes stay the same.
    virtual bool isLaidOutBySizeAlone() const { return true; }
    // Whether place() reads where other views were put (not only the size given): such a node is
    // placed again at the end of every pass.
    virtual bool placesFromOtherViews() const { return false; }
    // Sets the frames of the children inside the node's own bounds of `size`.
    virtual void place(Node& node, Size size, LayoutContext& context) const;
    virtual std::optional<double> firstBaseline(Node& node, Size size,
                                                LayoutContext& context) const;
    // An alignment guide set with View::alignmentGuide on this view or on the one view it wraps,
    // in this view's coordinates at `size`; none where the view keeps its default guide (and for
    // views that build their content during layout, which a guide query must not run ahead of).
    virtual std::optional<double> explicitGuide(Node& node, Size size, HorizontalAlignment guide,
                                                LayoutContext& context) const;
    virtual std::optional<double> explicitGuide(Node& node, Size size, VerticalAlignment guide,
                                                LayoutContext& context) const;
    // Whether explicitGuide may answer anything but none, at any size: a guide query need not
    // lay out a subtree that holds no alignment guide only to learn that. An element overriding
    // explicitGuide overrides this too, or its guide goes unasked below frames and modifiers.
    virtual bool mayHaveExplicitGuide(const Node& /*node*/) const { return false; }

    // Effects of a modifier on its subtree, at `now`.
    virtual double opacity(const Node& /*node*/, double /*now*/) const { return 1; }
    // The opacity set, not as animated: a view set to 0 takes no pointer input.
    virtual double targetOpacity() const { return 1; }
    virtual void applyTransform(const Node& /*node*/, double /*now*/,
                                cairo_matrix_t& /*matrix*/) const {}
    virtual void draw(const Node& node, DrawContext& context) const;
    virtual OpacityHandling opacityHandling(const Node& /*node*/) const {
        return OpacityHandling::needsGroup;
    }
    // How far the drawing may reach beyond the node's bounds (strokes, shadows, glyphs).
    virtual double drawingOutset(const Node& /*node*/) const { return 0; }
    // How far a change to the content shows beyond the content's own area in this element's
    // drawing (a shadow blurs and moves what casts it).
    virtual double contentSpread(const Node& /*node*/) const { return 0; }
    // Whether nothing of the subtree shows outside the node's bounds (a clip, a scroll view).
    virtual bool clipsContent() const { return false; }
    // Whether the element draws nothing at all (a spacer): its moves and resizes show nowhere.
    virtual bool drawsNothing() const { return false; }

    virtual bool allowsHitTesting() const { return true; }
    // The frontmost node at `point` (in the node's coordinates) that takes pointer input.
    virtual Node* hitTest(Node& node, Point point, cairo_t* scratch) const;

    // Pointer handling: buttons, gestures, text fields.
    virtual bool handlesPointer() const { return false; }
    // Whether this node takes presses; by default whether the element does.
    virtual bool handlesPointer(const Node& /*node*/) const { return handlesPointer(); }
    virtual void pointerEvent(Node& /*node*/, const PointerEvent& /*event*/) const {}
    // The middle button pressed at `location` (own coordinates): a text input inserts the
    // desktop's selection there.
    virtual bool pasteSelection(Node& /*node*/, Point /*location*/) const { return false; }
    virtual bool tracksHover() const { return false; }
    virtual void hoverChanged(Node& /*node*/, bool /*isHovering*/) const {}
    virtual bool isScrollable() const { return false; }
    virtual bool scrollBy(Node& /*node*/, double /*dy*/) const { return false; }
    // Focus and keys.
    virtual bool isFocusable(const Node& /*node*/) const { return false; }
    // Whether Tab stops at this view; by default every view that takes the focus.
    virtual bool isTabStop(const Node& node) const { return isFocusable(node); }
    virtual void focusChanged(Node& /*node*/, bool /*isFocused*/) const {}
    virtual bool keyDown(Node& /*node*/, const KeyPress& /*press*/) const { return false; }
    virtual const KeyboardShortcut* keyboardShortcut() const { return nullptr; }
    // The Boolean that the focus of the first focusable view in this subtree follows.
    virtual const Binding<bool>* focusBinding() const { return nullptr; }
    // A button's action, for keyboard shortcuts; false when there is none.
    virtual bool performAction(Node& /*node*/) const { return false; }

    // The accessibility elements this subtree shows; by default those of the children.
    virtual std::vector<AccessibilityNode> accessibility(const Node& node, double now) const;
    enum class ColorRole { foreground, fill, stroke };
    // The explicit guide of the only child, laid out centred in `size` as place() lays it out.
    static std::optional<double> guideOfOnlyChild(Node& node, Size size, HorizontalAlignment guide,
                                                  LayoutContext& context);
    static std::optional<double> guideOfOnlyChild(Node& node, Size size, VerticalAlignment guide,
                                                  LayoutContext& context);
    static bool onlyChildMayHaveExplicitGuide(const Node& node);
    // For leaves: the node when `point` lies in its bounds.
    static Node* hitInBounds(Node& node, Point point);
    // For leaves drawn in the foreground colour: the colour as their animatable data, and the
    // colour shown at `now` read back from it.
    static AnimatedValue::Values foregroundData(const Node& node);
    static std::optional<Color> foregroundAt(const Node& node, ColorRole role, double now);
    // The colour shown in a role at `now`, for inspection.
    virtual std::optional<Color> presentedColor(const Node& /*node*/, ColorRole /*role*/,
                                                double /*now*/) const {
        return std::nullopt;
    }
    virtual bool isTextInput() const { return false; }
    // The text a Text or TextField shows, for finding nodes.
    virtual std::optional<std::string> text() const { return std::nullopt; }
    // The label the view has without an accessibility label: a text's text, a field's placeholder.
    virtual std::optional<std::string> implicitLabel() const { return std::nullopt; }
    // One line for the view dump.
    virtual std::string debugName() const;
};

// Elements with exactly one child.
class ModifierElement : public Element {
  public:
    explicit ModifierElement(std::shared_ptr<const Element> content)
        : child_{{ChildKey{}, std::move(content)}} {}
    std::span<const ChildEntry> children() const override { return child_; }
    std::optional<double> explicitGuide(Node& node, Size size, HorizontalAlignment guide,
                                        LayoutContext& context) const override {
        return guideOfOnlyChild(node, size, guide, context);
    }
    std::optional<double> explicitGuide(Node& node, Size size, VerticalAlignment guide,
                                        LayoutContext& context) const override {
        return guideOfOnlyChild(node, size, guide, context);
    }
    bool mayHaveExplicitGuide(const Node& node) const override {
        return onlyChildMayHaveExplicitGuide(node);
    }

  private:
    ChildEntry child_[1];
};

}  // namespace talvori::ui

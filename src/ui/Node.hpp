#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/core/Observation.hpp"
#include "ui/AnimatedValue.hpp"
#include "ui/Color.hpp"
#include "ui/Element.hpp"
#include "ui/SizeAnswers.hpp"

namespace talvori::ui {

// Runtime state an element keeps in its node: a component's state, a text field's caret...
class NodeStorage {
  public:
    virtual ~NodeStorage() = default;
};

// The live counterpart of a view: it keeps the view's identity (its place among its siblings and
// its explicit id), its state, its laid-out frame and the animations of what it draws. Nodes
// persist across builds as long as their identity does.
class Node : public std::enable_shared_from_this<Node> {
  public:
    Node(Host& host, Node* parent, ChildKey key);
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    Host& host() const { return host_; }
    Node* parent() const { return parent_; }
    const ChildKey& key() const { return key_; }
    int depth() const { return depth_; }
    const Element& element() const { return *element_; }
    const std::shared_ptr<const Element>& sharedElement() const { return element_; }
    const Environment& environment() const { return *environment_; }
    const std::vector<std::shared_ptr<Node>>& children() const { return children_; }
    // The children that take part in layout: transparent containers flattened, removed views left
    // out.
    const std::vector<Node*>& layoutChildren() const;
    // Whether the view has left the tree and only plays its removal transition.
    bool isRemoving() const { return removing_; }
    // Whether the view is in the tree (not removed, not inside a removed view).
    bool isAttached() const;

    // --- building
    void update(const std::shared_ptr<const Element>& element, UpdateContext& context);
    void reconcileChildren(std::span<const ChildEntry> entries, UpdateContext& context);
    const Transaction& transaction() const { return transaction_; }

    template <class T>
    T* storage() const {
        return static_cast<T*>(storage_.get());
    }
    template <class T, class... Args>
    T& makeStorage(Args&&... args) {
        auto made = std::make_unique<T>(std::forward<Args>(args)...);
        T& reference = *made;
        storage_ = std::move(made);
        return reference;
    }
    // The storage of type T, made from `args` when the node has none yet.
    template <class T, class... Args>
    T& ensureStorage(Args&&... args) {
        if (T* existing = storage<T>()) return *existing;
        return makeStorage<T>(std::forward<Args>(args)...);
    }
    void clearStorage() { storage_.reset(); }

    // --- layout
    // Answers are kept until something the node measures with changes.
    Size sizeThatFits(ProposedSize proposal, LayoutContext& context);
    // Places the node at `frame` in its parent's coordinates. A node whose size and content are
    // unchanged keeps the layout of its subtree.
    void place(const Rect& frame, LayoutContext& context);
    std::optional<double> firstBaseline(Size size, LayoutContext& context);
    std::optional<double> explicitGuide(Size size, HorizontalAlignment guide,
                                        LayoutContext& context);
    std::optional<double> explicitGuide(Size size, VerticalAlignment guide, LayoutContext& context);
    bool mayHaveExplicitGuide() const;
    // The frame last given by layout, in the parent's coordinates.
    const Rect& frame() const { return frame_; }
    Rect presentedFrame(double now) const;
    // For elements whose stored state changes what they measure or where they put their children
    // (a scroll offset, a field's text): the node is laid out and drawn again on the next pass.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }

    // --- drawing and animation
    AnimatedValue::Values presentedData(double now) const { return data_.valueAt(now); }
    double presentedComponent(std::size_t index, double now) const {
        return data_.componentAt(index, now);
    }
    // Four components from `first` on, as a colour.
    Color presentedColor(std::size_t first, double now) const {
        return {data_.componentAt(first, now), data_.componentAt(first + 1, now),
                data_.componentAt(first + 2, now), data_.componentAt(first + 3, now)};
    }
    bool isAnimating(double now) const;
    // Whether its frame or a transition moves it now (not only its colours or opacity).
    bool movesOnScreen(double now) const;
    // Maps the parent's coordinates into this node's, with offsets, scales and rotations.
    cairo_matrix_t transformFromParent(double now) const;
    // Maps host coordinates into this node's.
    cairo_matrix_t transformFromHost(double now) const;
    double presentedOpacity(double now) const;
    // The bounding box of the node as drawn, in host coordinates.
    Rect frameInHost(double now) const;
    void draw(DrawContext& context) const;
    // Whether the one element painting this subtree can apply an opacity itself.
    bool appliesOpacityItself() const;
    // The node's bounds and what its children draw, in this node's coordinates.
    Rect contentBounds(double now) const;
    // The area the subtree draws in, in this node's coordinates (kept until something in the
    // subtree moves or changes).
    const Rect& drawingBounds(double now) const;
    // The area the subtree draws in now, in host coordinates.
    Rect drawingBoundsInHost(double now) const;
    // Where a change inside `rect` (host coordinates) shows: grown by the spread of every
    // ancestor, so that a change to what casts a shadow draws the shadow around it again.
    Rect spreadByAncestors(Rect rect, double now) const;
    // Grows whenever the subtree's drawing bounds go stale, which every change to what it draws
    // does: while it stays the same, the subtree draws as it did when its bounds were last taken.
    std::uint64_t boundsInvalidations() const { return boundsInvalidations_; }
    // Where the subtree landed when the host last drew it into its kept frame (host coordinates).
    const Rect& drawnBounds() const { return drawnBounds_; }
    void drawChildren(DrawContext& context) const;
    // For elements whose stored state changes what they draw (a caret, a selection, a spinner's
    // step): the node is drawn again.
    void setNeedsDisplay();
    // Pointer input finds views where layout put them and as their modifiers are set, not where a
    // running animation shows them on the way: a view fading or sliding in takes a click at once,
    // and siblings moving aside for it do not take its clicks.
    Node* hitTest(Point pointInParent, cairo_t* scratch);
    Node* hitTestChildren(Point point, cairo_t* scratch);
    // Maps host coordinates into this node's as pointer input sees them.
    cairo_matrix_t settledTransformFromHost() const { return transformFromHost(kSettled); }
    // Leaves the tree when its removal transition has ended; returns whether it left.
    bool pruneIfRemovalEnded(double now);

    void forEachInSubtree(const std::function<void(Node&)>& visit);

    // Runs the element's reconciliation again (a component's body), in `context`'s transaction.
    void rebuild(UpdateContext& context) { apply(element_, context); }
    // Runs `body` recording what it reads of observables: a later change to any of it rebuilds
    // this node on a later run-loop turn, in the transaction of that change.
    Registration trackReads(const std::function<void()>& body);
    std::uint64_t builtPass() const { return builtPass_; }

  private:
    // A time after every running animation has ended.
    static constexpr double kSettled = infinity;

    void insert(const std::shared_ptr<const Element>& element, UpdateContext& context);
    void apply(const std::shared_ptr<const Element>& element, UpdateContext& context);
    // What the element and environment just taken change, and the marks that follow.
    void noteChange(const Element* older, const Environment* olderEnvironment, bool dataChanged);
    // Something the node measures or places with changed: its answers are checked on the next pass.
    void markLayoutChanged();
    // What the subtree draws changed: where it was drawn is damaged now, where it will be drawn
    // when the host draws.
    void markDisplayChanged();
    // The cached drawing bounds of this node and its ancestors are stale.
    void invalidateBounds() const;
    // The children in layout order, leaving ones left out (groups not flattened).
    std::vector<Node*> layoutedChildren() const;
    // From a node whose answers may have changed, up to the first whose sizes stay the same (or the
    // root); that node is laid out again. Every node on the way is marked.
    Node* climbToLayoutBoundary(LayoutContext& context);
    bool keepsItsSizes(LayoutContext& context);
    // Places the node again in its frame, as its parent would, after a change inside it.
    void relayout(LayoutContext& context);
    // Starts leaving the tree; returns whether the node stays for a removal transition.
    bool beginRemoval(UpdateContext& context);
    const Transition* findTransition() const;
    void placeTransparentChildren(Size size);
    std::shared_ptr<const Environment> deriveEnvironment(const Element& element) const;
    const std::shared_ptr<const Environment>& inheritedEnvironment() const;

    struct TransitionState {
        Transition::Effect effect;
        AnimatedValue progress;
    };

    Host& host_;
    Node* parent_;
    ChildKey key_;
    int depth_;
    std::shared_ptr<const Element> element_;
    std::shared_ptr<const Environment> environment_;
    std::shared_ptr<const Environment> inherited_;
    std::vector<std::shared_ptr<Node>> children_;
    std::unique_ptr<NodeStorage> storage_;
    bool removing_ = false;
    bool inserting_ = false;
    // Set on every node of a subtree that left the tree, so that nobody walks up from it.
    bool detached_ = false;
    Transaction transaction_;
    std::uint64_t updatedPass_ = 0;
    std::uint64_t builtPass_ = 0;
    Rect frame_;
    bool placed_ = false;
    AnimatedValue frameValue_;
    AnimatedValue data_;
    std::optional<TransitionState> transition_;
    SizeAnswers answers_;
    // A baseline or alignment guide was read from the node: its parent relies on more than sizes.
    bool alignmentRead_ = false;
    bool needsLayout_ = true;
    bool queuedForLayout_ = false;
    mutable std::vector<Node*> layoutChildren_;
    mutable bool layoutChildrenValid_ = false;
    void invalidateLayoutChildren();
    // Drawing: the subtree's bounds in its own coordinates, and where it was last drawn.
    mutable Rect bounds_;
    mutable bool boundsValid_ = false;
    mutable std::uint64_t boundsInvalidations_ = 0;
    mutable Rect drawnBounds_;
    bool queuedForDisplay_ = false;
    bool listedAsAnimating_ = false;
    bool listedAsFollower_ = false;

    friend class Host;
};

}  // namespace talvori::ui

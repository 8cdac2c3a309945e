#include "ui/Node.hpp"

#include <algorithm>
#include <cmath>

#include "ui/Host.hpp"

namespace talvori::ui {

namespace {

AnimatedValue::Values frameValues(const Rect& frame) {
    return {frame.minX(), frame.minY(), frame.width(), frame.height()};
}

// The smallest rectangle holding `rect` mapped through `matrix`.
Rect boundingBox(const cairo_matrix_t& matrix, const Rect& rect) {
    double minX = infinity, minY = infinity, maxX = -infinity, maxY = -infinity;
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

}  // namespace

Node::Node(Host& host, Node* parent, ChildKey key)
    : host_(host), parent_(parent), key_(std::move(key)), depth_(parent ? parent->depth_ + 1 : 0) {}

Node::~Node() = default;

bool Node::isAttached() const {
    return !detached_;
}

const std::vector<Node*>& Node::layoutChildren() const {
    if (layoutChildrenValid_) return layoutChildren_;
    layoutChildren_.clear();
    for (const auto& child : children_) {
        if (child->removing_) continue;
        if (child->element_->isTransparentContainer()) {
            const auto& nested = child->layoutChildren();
            layoutChildren_.insert(layoutChildren_.end(), nested.begin(), nested.end());
        } else {
            layoutChildren_.push_back(child.get());
        }
    }
    layoutChildrenValid_ = true;
    return layoutChildren_;
}

void Node::invalidateLayoutChildren() {
    // A group's children are its parent's layout children too.
    for (Node* node = this; node; node = node->parent_) {
        node->layoutChildrenValid_ = false;
        if (!node->element_ || !node->element_->isTransparentContainer()) break;
    }
}

// --- building

const std::shared_ptr<const Environment>& Node::inheritedEnvironment() const {
    return parent_ ? parent_->environment_ : host_.rootEnvironment();
}

std::shared_ptr<const Environment> Node::deriveEnvironment(const Element& element) const {
    const auto& inherited = inheritedEnvironment();
    if (!element.modifiesEnvironment()) return inherited;
    auto derived = std::make_shared<Environment>(*inherited);
    element.modifyEnvironment(*derived);
    // Keeping the old object when nothing changed lets components below skip their bodies.
    if (environment_ && environment_ != inherited && *environment_ == *derived) return environment_;
    return derived;
}

void Node::update(const std::shared_ptr<const Element>& element, UpdateContext& context) {
    const bool sameDescription =
        element_ == element || (element_ && element->isEquivalentTo(*element_));
    if (sameDescription && inheritedEnvironment() == inherited_) {
        transaction_ = context.transaction;
        updatedPass_ = context.pass;
        return;
    }
    apply(element, context);
}

void Node::apply(const std::shared_ptr<const Element>& element, UpdateContext& context) {
    const auto older = element_;
    builtPass_ = context.pass;
    element_ = element;
    environment_ = deriveEnvironment(*element);
    inherited_ = inheritedEnvironment();
    transaction_ = context.transaction;
    updatedPass_ = context.pass;
    if (data_.setTarget(element->animatableData(*this), context.transaction.animation,
                        context.now) &&
        data_.isAnimating(context.now)) {
        host_.animationStarted();
    }
    UpdateContext childContext{context.host, element->childTransaction(*this, context.transaction),
                               context.pass, context.now};
    // A subtree's own animation also moves the frame of the view that sets it.
    transaction_ = childContext.transaction;
    element->reconcile(*this, childContext);
    element->didUpdate(*this, older.get(), context);
}

ObservationToken Node::trackReads(const std::function<void()>& body) {
    return ObservationTracking::track(body, [weak = weak_from_this(), &host = host_] {
        host.markDirty(weak, Transaction::current());
    });
}

void Node::insert(const std::shared_ptr<const Element>& element, UpdateContext& context) {
    host_.nodeDidInsert(*this);
    inserting_ = true;
    apply(element, context);
    inserting_ = false;
    // Only the top of an inserted subtree plays the transition.
    const bool insideInsertion = parent_ && parent_->inserting_;
    if (context.transaction.animates() && !insideInsertion) {
        const Transition* transition = findTransition();
        const auto effect =
            transition ? transition->insertion() : Transition::opacity().insertion();
        // Nothing to play: leave the frame timer asleep.
        if (effect == Transition::Effect{}) return;
        transition_ = TransitionState{effect, {}};
        transition_->progress.setTarget({0}, std::nullopt, context.now);
        transition_->progress.setTarget(
            {1}, effect.animation.value_or(*context.transaction.animation), context.now);
        host_.animationStarted();
    }
}

const Transition* Node::findTransition() const {
    // The transition may sit anywhere on the chain of modifiers at the top of the inserted view.
    for (const Node* node = this; node;
         node = node->children_.size() == 1 ? node->children_[0].get() : nullptr) {
        if (const auto* transition = node->element_->transition()) return transition;
    }
    return nullptr;
}

bool Node::beginRemoval(UpdateContext& context) {
    host_.nodeWillRemove(*this);
    forEachInSubtree([](Node& node) { node.detached_ = true; });
    if (!context.transaction.animates() || !placed_) return false;
    const Transition* transition = findTransition();
    const auto effect = transition ? transition->removal() : Transition::opacity().removal();
    if (effect == Transition::Effect{}) return false;
    const double from = transition_ ? transition_->progress.componentAt(0, context.now) : 1.0;
    transition_ = TransitionState{effect, {}};
    transition_->progress.setTarget({from}, std::nullopt, context.now);
    transition_->progress.setTarget({0}, effect.animation.value_or(*context.transaction.animation),
                                    context.now);
    removing_ = true;
    host_.animationStarted();
    return true;
}

void Node::reconcileChildren(std::span<const ChildEntry> entries, UpdateContext& context) {
    invalidateLayoutChildren();
    auto old = std::move(children_);
    children_.clear();
    children_.reserve(entries.size());
    std::vector<bool> used(old.size(), false);
    std::size_t hint = 0;
    for (const auto& entry : entries) {
        if (!entry.element) continue;
        std::shared_ptr<Node> match;
        // Children mostly keep their order: look from the last match on, then from the start.
        for (std::size_t pass = 0; pass < 2 && !match; ++pass) {
            const std::size_t begin = pass == 0 ? hint : 0, end = pass == 0 ? old.size() : hint;
            for (std::size_t i = begin; i < end; ++i) {
                auto& candidate = old[i];
                if (used[i] || candidate->removing_ || !(candidate->key_ == entry.key)) continue;
                if (!candidate->element_->canUpdateTo(*entry.element)) continue;
                used[i] = true;
                match = candidate;
                hint = i + 1;
                break;
            }
        }
        if (match) {
            match->update(entry.element, context);
        } else {
            match = std::make_shared<Node>(host_, this, entry.key);
            match->insert(entry.element, context);
        }
        children_.push_back(std::move(match));
    }
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (used[i]) continue;
        auto& leaving = old[i];
        if (leaving->removing_ || leaving->beginRemoval(context)) {
            // A leaving view is drawn where it was among its siblings.
            children_.insert(
                children_.begin() + static_cast<std::ptrdiff_t>(std::min(i, children_.size())),
                leaving);
        }
    }
}

// --- layout

Size Node::sizeThatFits(ProposedSize proposal, LayoutContext& context) {
    for (const auto& entry : sizeCache_) {
        if (entry.pass == context.pass && entry.proposal == proposal) return entry.size;
    }
    const Size size = element_->sizeThatFits(*this, proposal, context);
    sizeCache_[nextCacheSlot_] = {context.pass, proposal, size};
    nextCacheSlot_ = (nextCacheSlot_ + 1) % sizeCache_.size();
    return size;
}

void Node::place(const Rect& frame, LayoutContext& context) {
    const Transaction& transaction =
        updatedPass_ == context.pass ? transaction_ : context.transaction;
    const bool resized = !placed_ || frame.size != frame_.size;
    if (frameValue_.setTarget(frameValues(frame), placed_ ? transaction.animation : std::nullopt,
                              context.now) &&
        frameValue_.isAnimating(context.now)) {
        host_.animationStarted();
    }
    frame_ = frame;
    placed_ = true;
    const Transaction inherited = context.transaction;
    context.transaction = transaction;
    element_->place(*this, frame.size, context);
    placeTransparentChildren(frame.size);
    context.transaction = inherited;
    if (resized) host_.nodeDidResize(*this);
}

void Node::placeTransparentChildren(Size size) {
    // Groups take no part in layout; their children were placed in the parent's coordinates.
    for (const auto& child : children_) {
        if (child->removing_ || !child->element_->isTransparentContainer()) continue;
        child->frame_ = Rect({0, 0}, size);
        child->frameValue_.setTarget(frameValues(child->frame_), std::nullopt, 0);
        child->placed_ = true;
        child->placeTransparentChildren(size);
    }
}

std::optional<double> Node::firstBaseline(Size size, LayoutContext& context) {
    return element_->firstBaseline(*this, size, context);
}

Rect Node::presentedFrame(double now) const {
    if (!frameValue_.isAnimating(now)) return frame_;
    const auto value = frameValue_.valueAt(now);
    return {value[0], value[1], value[2], value[3]};
}

// --- drawing

bool Node::isAnimating(double now) const {
    return frameValue_.isAnimating(now) || data_.isAnimating(now) ||
           (transition_ && transition_->progress.isAnimating(now));
}

cairo_matrix_t Node::transformFromParent(double now) const {
    const Rect frame = presentedFrame(now);
    cairo_matrix_t matrix;
    cairo_matrix_init_translate(&matrix, frame.minX(), frame.minY());
    if (transition_) {
        const auto effect = Transition::transformAt(
            transition_->effect, transition_->progress.componentAt(0, now), frame.size);
        cairo_matrix_multiply(&matrix, &effect, &matrix);
    }
    element_->applyTransform(*this, now, matrix);
    return matrix;
}

cairo_matrix_t Node::transformFromHost(double now) const {
    cairo_matrix_t matrix = transformFromParent(now);
    if (parent_) {
        const cairo_matrix_t parentMatrix = parent_->transformFromHost(now);
        cairo_matrix_multiply(&matrix, &matrix, &parentMatrix);
    }
    return matrix;
}

Rect Node::frameInHost(double now) const {
    const Rect box = boundingBox(transformFromHost(now), Rect({0, 0}, presentedFrame(now).size));
    // Matrix arithmetic leaves dust in the last bits; frames read in whole micro-points.
    auto snap = [](double value) { return std::round(value * 1e6) / 1e6; };
    return {snap(box.minX()), snap(box.minY()), snap(box.width()), snap(box.height())};
}

double Node::presentedOpacity(double now) const {
    double opacity = element_->opacity(*this, now);
    if (transition_)
        opacity *=
            Transition::opacityAt(transition_->effect, transition_->progress.componentAt(0, now));
    return opacity;
}

bool Node::appliesOpacityItself() const {
    for (const Node* node = this;;) {
        switch (node->element_->opacityHandling(*node)) {
            case OpacityHandling::applies:
                return true;
            case OpacityHandling::needsGroup:
                return false;
            case OpacityHandling::passThrough:
                break;
        }
        if (node->children_.size() != 1) return false;
        node = node->children_.front().get();
    }
}

void Node::draw(DrawContext& context) const {
    if (!placed_) return;
    const double opacity = presentedOpacity(context.now);
    if (opacity <= 0.0005) return;
    cairo_t* cr = context.cr;
    // Elements that change more than the transform save and restore it themselves; the matrix
    // alone is much cheaper to put back than the whole state.
    cairo_matrix_t outer;
    cairo_get_matrix(cr, &outer);
    const cairo_matrix_t matrix = transformFromParent(context.now);
    cairo_transform(cr, &matrix);
    const double inherited = context.opacity;
    const bool group = opacity < 0.9995 && !appliesOpacityItself();
    if (group) {
        // A group as large as what the subtree draws, not as the whole surface.
        cairo_save(cr);
        const Rect bounds = drawingBounds(context.now);
        cairo_rectangle(cr, bounds.minX(), bounds.minY(), bounds.width(), bounds.height());
        cairo_clip(cr);
        cairo_push_group(cr);
        context.opacity = 1;
    } else {
        context.opacity *= opacity;
    }
    element_->draw(*this, context);
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, opacity * inherited);
        cairo_restore(cr);
    }
    context.opacity = inherited;
    cairo_set_matrix(cr, &outer);
}

Rect Node::contentBounds(double now) const {
    const Size size = presentedFrame(now).size;
    double minX = 0, minY = 0, maxX = size.width, maxY = size.height;
    for (const auto& child : children_) {
        if (!child->placed_) continue;
        const Rect box = boundingBox(child->transformFromParent(now), child->drawingBounds(now));
        minX = std::min(minX, box.minX());
        minY = std::min(minY, box.minY());
        maxX = std::max(maxX, box.maxX());
        maxY = std::max(maxY, box.maxY());
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

Rect Node::drawingBounds(double now) const {
    // The outset reaches around what the children draw too: a shadow surrounds its content
    // wherever a modifier inside it moves that content.
    const Rect content = contentBounds(now);
    const double outset = element_->drawingOutset(*this);
    const double minX = content.minX() - outset, minY = content.minY() - outset;
    const double maxX = content.maxX() + outset, maxY = content.maxY() + outset;
    // Whole pixels at any scale up to 4, so that antialiased edges are not cut.
    return {std::floor(minX) - 1, std::floor(minY) - 1, std::ceil(maxX - minX) + 3,
            std::ceil(maxY - minY) + 3};
}

void Node::drawChildren(DrawContext& context) const {
    for (const auto& child : children_) child->draw(context);
}

Node* Node::hitTest(Point pointInParent, cairo_t* scratch) {
    if (removing_ || !placed_ || !element_->allowsHitTesting() || element_->targetOpacity() <= 0)
        return nullptr;
    cairo_matrix_t matrix = transformFromParent(kSettled);
    if (cairo_matrix_invert(&matrix) != CAIRO_STATUS_SUCCESS) return nullptr;
    Point local = pointInParent;
    cairo_matrix_transform_point(&matrix, &local.x, &local.y);
    return element_->hitTest(*this, local, scratch);
}

Node* Node::hitTestChildren(Point point, cairo_t* scratch) {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (Node* hit = (*it)->hitTest(point, scratch)) return hit;
    }
    return nullptr;
}

bool Node::pruneFinishedRemovals(double now) {
    const auto before = children_.size();
    std::erase_if(children_, [now](const auto& child) {
        return child->removing_ && !child->transition_->progress.isAnimating(now);
    });
    bool pruned = children_.size() != before;
    if (pruned) invalidateLayoutChildren();
    for (const auto& child : children_) pruned = child->pruneFinishedRemovals(now) || pruned;
    return pruned;
}

void Node::forEachInSubtree(const std::function<void(Node&)>& visit) {
    visit(*this);
    // A copy: a visit may rebuild children.
    const auto children = children_;
    for (const auto& child : children) child->forEachInSubtree(visit);
}

}  // namespace talvori::ui

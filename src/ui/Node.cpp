#include "ui/Node.hpp"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "ui/DamageRegion.hpp"
#include "ui/Host.hpp"

namespace talvori::ui {

namespace {

AnimatedValue::Values frameValues(const Rect& frame) {
    return {frame.minX(), frame.minY(), frame.width(), frame.height()};
}

}  // namespace

Node::Node(Host& host, Node* parent, ChildKey key)
    : host_(host), parent_(parent), key_(std::move(key)), depth_(parent ? parent->depth_ + 1 : 0) {}

Node::~Node() {
    // A child kept alive elsewhere must not reach back into a parent that is gone.
    for (const auto& child : children_) child->parent_ = nullptr;
}

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
    const auto olderEnvironment = environment_;
    builtPass_ = context.pass;
    element_ = element;
    environment_ = deriveEnvironment(*element);
    inherited_ = inheritedEnvironment();
    transaction_ = context.transaction;
    updatedPass_ = context.pass;
    const bool dataChanged =
        data_.setTarget(element->animatableData(*this), context.transaction.animation, context.now);
    if (dataChanged && data_.isAnimating(context.now)) host_.animationStarted(*this);
    noteChange(older.get(), olderEnvironment.get(), dataChanged);
    if (element->placesFromOtherViews() && !listedAsFollower_) {
        listedAsFollower_ = true;
        host_.followerAdded(*this);
    }
    UpdateContext childContext{context.host, element->childTransaction(*this, context.transaction),
                               context.pass, context.now};
    // A subtree's own animation also moves the frame of the view that sets it.
    transaction_ = childContext.transaction;
    element->reconcile(*this, childContext);
    element->didUpdate(*this, older.get(), context);
}

void Node::noteChange(const Element* older, const Environment* olderEnvironment, bool dataChanged) {
    const Element& current = *element_;
    const bool sameType = older && typeid(*older) == typeid(current);
    const ElementChange change = sameType ? element_->changeFrom(*older) : ElementChange{};
    const bool environmentChanged = olderEnvironment && olderEnvironment != environment_.get();
    if (!older || change.layout ||
        (environmentChanged && !olderEnvironment->laysOutLike(*environment_))) {
        markLayoutChanged();
    }
    if (!older || change.drawing || dataChanged ||
        (environmentChanged && !olderEnvironment->drawsLike(*environment_))) {
        markDisplayChanged();
    }
}

Registration Node::trackReads(const std::function<void()>& body) {
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
        host_.animationStarted(*this);
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
    markDisplayChanged();
    host_.animationStarted(*this);
    return true;
}

void Node::reconcileChildren(std::span<const ChildEntry> entries, UpdateContext& context) {
    // Taken before any child starts leaving, which takes it out of layout.
    const auto laidOut = layoutedChildren();
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
        } else {
            host_.addDamage(leaving->drawnBounds_);
            invalidateBounds();
        }
    }
    if (laidOut != layoutedChildren()) {
        // A group's children are its parent's layout children too.
        for (Node* node = this; node; node = node->parent_) {
            node->layoutChildrenValid_ = false;
            node->markLayoutChanged();
            if (!node->element_->isTransparentContainer()) break;
        }
    }
}

std::vector<Node*> Node::layoutedChildren() const {
    std::vector<Node*> nodes;
    nodes.reserve(children_.size());
    for (const auto& child : children_) {
        if (!child->removing_) nodes.push_back(child.get());
    }
    return nodes;
}

// --- layout

Size Node::sizeThatFits(ProposedSize proposal, LayoutContext& context) {
    bool knownReadsAxis = false;
    if (const auto known = answers_.find(proposal, context.stackAxis, knownReadsAxis)) {
        context.stackAxisRead = context.stackAxisRead || knownReadsAxis;
        return *known;
    }
    const bool outerRead = context.stackAxisRead;
    context.stackAxisRead = false;
    const Size size = element_->sizeThatFits(*this, proposal, context);
    const bool readsAxis = context.stackAxisRead;
    context.stackAxisRead = outerRead || readsAxis;
    host_.nodeMeasured();
    answers_.store(proposal, context.stackAxis, readsAxis, size);
    return size;
}

void Node::place(const Rect& frame, LayoutContext& context) {
    const Transaction& transaction =
        updatedPass_ == context.pass ? transaction_ : context.transaction;
    const bool resized = !placed_ || frame.size != frame_.size;
    if (!placed_ || frame != frame_) {
        if (element_->drawsNothing() && children_.empty()) {
            invalidateBounds();
        } else {
            markDisplayChanged();
        }
        if (frameValue_.setTarget(frameValues(frame),
                                  placed_ ? transaction.animation : std::nullopt, context.now) &&
            frameValue_.isAnimating(context.now)) {
            host_.animationStarted(*this);
        }
    }
    frame_ = frame;
    placed_ = true;
    // Same size, nothing changed inside: every frame below stays as it is.
    if (!resized && !needsLayout_) return;
    host_.nodePlaced();
    const Transaction inherited = context.transaction;
    context.transaction = transaction;
    // Cleared first: a change made while placing (content built for the size) is laid out again.
    needsLayout_ = false;
    element_->place(*this, frame.size, context);
    placeTransparentChildren(frame.size);
    context.transaction = inherited;
    if (resized) host_.nodeDidResize(*this);
}

void Node::relayout(LayoutContext& context) {
    if (!needsLayout_ || !placed_ || !isAttached()) return;
    // The transaction the parent would place it in: that of the nearest view built in this pass.
    const Transaction inherited = context.transaction;
    for (const Node* node = parent_; node; node = node->parent_) {
        if (node->updatedPass_ == context.pass) {
            context.transaction = node->transaction_;
            break;
        }
    }
    place(frame_, context);
    context.transaction = inherited;
}

void Node::placeTransparentChildren(Size size) {
    // Groups take no part in layout; their children were placed in the parent's coordinates.
    for (const auto& child : children_) {
        if (child->removing_ || !child->element_->isTransparentContainer()) continue;
        const Rect frame({0, 0}, size);
        if (!child->placed_ || child->frame_ != frame) child->invalidateBounds();
        child->frame_ = frame;
        child->frameValue_.setTarget(frameValues(child->frame_), std::nullopt, 0);
        child->placed_ = true;
        child->needsLayout_ = false;
        child->placeTransparentChildren(size);
    }
}

std::optional<double> Node::firstBaseline(Size size, LayoutContext& context) {
    const auto baseline = element_->firstBaseline(*this, size, context);
    alignmentRead_ = alignmentRead_ || baseline.has_value();
    return baseline;
}

std::optional<double> Node::explicitGuide(Size size, HorizontalAlignment guide,
                                          LayoutContext& context) {
    const auto value = element_->explicitGuide(*this, size, guide, context);
    alignmentRead_ = alignmentRead_ || value.has_value();
    return value;
}

std::optional<double> Node::explicitGuide(Size size, VerticalAlignment guide,
                                          LayoutContext& context) {
    const auto value = element_->explicitGuide(*this, size, guide, context);
    alignmentRead_ = alignmentRead_ || value.has_value();
    return value;
}

bool Node::mayHaveExplicitGuide() const {
    return element_->mayHaveExplicitGuide(*this);
}

void Node::setNeedsLayout() {
    markLayoutChanged();
    markDisplayChanged();
    host_.setNeedsUpdate();
}

void Node::markLayoutChanged() {
    answers_.markStale();
    needsLayout_ = true;
    // A node not placed yet is placed by its parent.
    if (!placed_ || queuedForLayout_) return;
    queuedForLayout_ = true;
    host_.layoutChanged(*this);
}

Node* Node::climbToLayoutBoundary(LayoutContext& context) {
    queuedForLayout_ = false;
    if (!placed_ || !isAttached()) return nullptr;
    Node* node = this;
    while (node->parent_ && !node->keepsItsSizes(context)) {
        node = node->parent_;
        node->answers_.markStale();
        node->needsLayout_ = true;
    }
    // The root's own size is asked afresh.
    if (!node->parent_) node->answers_.clear();
    return node;
}

bool Node::keepsItsSizes(LayoutContext& context) {
    const auto stale = answers_.takeStale();
    if (!stale.complete || alignmentRead_ || element_->isTransparentContainer() ||
        !element_->isLaidOutBySizeAlone()) {
        return false;
    }
    // The questions the parent laid its children out with, asked again.
    const auto axis = context.stackAxis;
    bool same = true;
    for (std::size_t i = 0; i < stale.count && same; ++i) {
        context.stackAxis = stale.answers[i].axis;
        same = sizeThatFits(stale.answers[i].proposal, context) == stale.answers[i].size;
    }
    context.stackAxis = axis;
    return same;
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

bool Node::movesOnScreen(double now) const {
    return frameValue_.isAnimating(now) || (transition_ && transition_->progress.isAnimating(now));
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
    if (context.clip || context.recordScale > 0) {
        cairo_matrix_t device;
        cairo_get_matrix(cr, &device);
        Rect box = boundingBox(device, drawingBounds(context.now));
        // Bounds that are no numbers (a size that is none) are taken as everywhere.
        if (!std::isfinite(box.minX()) || !std::isfinite(box.minY()) ||
            !std::isfinite(box.width()) || !std::isfinite(box.height())) {
            box = Rect(-1e9, -1e9, 2e9, 2e9);
        }
        if (context.recordScale > 0) {
            const double scale = context.recordScale;
            drawnBounds_ = {(box.minX() - context.recordOrigin.x) / scale,
                            (box.minY() - context.recordOrigin.y) / scale, box.width() / scale,
                            box.height() / scale};
        }
        if (context.clip && !context.clip->intersects(box)) {
            cairo_set_matrix(cr, &outer);
            return;
        }
    }
    if (context.drawnCount) ++*context.drawnCount;
    const bool inheritedTransform = context.transformedByViews;
    context.transformedByViews =
        inheritedTransform || matrix.xx != 1 || matrix.yy != 1 || matrix.xy != 0 || matrix.yx != 0;
    const double inherited = context.opacity;
    const bool group = opacity < 0.9995 && !appliesOpacityItself();
    if (group) {
        // A group as large as what the subtree draws, not as the whole surface.
        cairo_save(cr);
        const Rect& bounds = drawingBounds(context.now);
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
    context.transformedByViews = inheritedTransform;
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

const Rect& Node::drawingBounds(double now) const {
    if (boundsValid_) return bounds_;
    // The outset reaches around what the children draw too: a shadow surrounds its content
    // wherever a modifier inside it moves that content.
    const Rect content = contentBounds(now);
    const double declared = element_->drawingOutset(*this);
    const double outset = std::isfinite(declared) ? std::max(0.0, declared) : 0.0;
    const double minX = content.minX() - outset, minY = content.minY() - outset;
    const double maxX = content.maxX() + outset, maxY = content.maxY() + outset;
    // Whole pixels at any scale up to 4, so that antialiased edges are not cut.
    bounds_ = {std::floor(minX) - 1, std::floor(minY) - 1, std::ceil(maxX - minX) + 3,
               std::ceil(maxY - minY) + 3};
    boundsValid_ = true;
    return bounds_;
}

Rect Node::drawingBoundsInHost(double now) const {
    if (!placed_) return {};
    return boundingBox(transformFromHost(now), drawingBounds(now));
}

Rect Node::spreadByAncestors(Rect rect, double now) const {
    if (rect.isEmpty()) return rect;
    for (const Node* ancestor = parent_; ancestor; ancestor = ancestor->parent_) {
        const double spread = ancestor->element_->contentSpread(*ancestor);
        if (spread <= 0) continue;
        const cairo_matrix_t matrix = ancestor->transformFromHost(now);
        const double scale =
            std::max(std::hypot(matrix.xx, matrix.yx), std::hypot(matrix.xy, matrix.yy));
        rect = insetBy(rect, -spread * scale, -spread * scale);
    }
    return rect;
}

void Node::invalidateBounds() const {
    // A valid node has valid children: the walk stops at the first stale ancestor.
    for (const Node* node = this; node && node->boundsValid_; node = node->parent_) {
        node->boundsValid_ = false;
        ++node->boundsInvalidations_;
    }
}

void Node::markDisplayChanged() {
    host_.addDamage(spreadByAncestors(drawnBounds_, host_.now()));
    invalidateBounds();
    if (queuedForDisplay_) return;
    queuedForDisplay_ = true;
    host_.displayChanged(*this);
}

void Node::setNeedsDisplay() {
    markDisplayChanged();
    host_.displayNeeded();
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

bool Node::pruneIfRemovalEnded(double now) {
    if (!removing_ || !parent_ || transition_->progress.isAnimating(now)) return false;
    Node* parent = parent_;
    auto& siblings = parent->children_;
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [this](const auto& child) { return child.get() == this; });
    if (found == siblings.end()) return false;
    host_.addDamage(drawnBounds_);
    parent->invalidateBounds();
    parent->invalidateLayoutChildren();
    // The last reference may be the parent's: nothing of this node is used after the erase.
    siblings.erase(found);
    return true;
}

void Node::forEachInSubtree(const std::function<void(Node&)>& visit) {
    visit(*this);
    // A copy: a visit may rebuild children.
    const auto children = children_;
    for (const auto& child : children) child->forEachInSubtree(visit);
}

}  // namespace talvori::ui

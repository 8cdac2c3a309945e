#include "ui/Host.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "ui/IconCatalog.hpp"
#include "ui/Node.hpp"
#include "ui/PangoTextMeasurer.hpp"

namespace talvori::ui {

namespace {

constexpr double kFrameInterval = 1.0 / 60;

// The element of the root node: the root view, offered the host's size.
class RootElement final : public ModifierElement {
  public:
    using ModifierElement::ModifierElement;
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    void place(Node& node, Size size, LayoutContext& context) const override {
        for (auto* child : node.layoutChildren()) child->place(Rect({0, 0}, size), context);
    }
    std::string debugName() const override { return "root"; }
};

}  // namespace

bool Host::isInSubtree(const Node* node, const Node& root) {
    for (; node; node = node->parent()) {
        if (node == &root) return true;
    }
    return false;
}

std::shared_ptr<Host> Host::make(View root, Options options) {
    auto host = std::shared_ptr<Host>(new Host(std::move(options)));
    host->setRootView(std::move(root));
    host->updateNow();
    return host;
}

Host::Host(Options options)
    : options_(std::move(options)),
      // One measurer and one icon set for every window: making a font map, or loading and
      // rasterising the icons, costs more than laying out and drawing a whole window.
      textMeasurer_(options_.textMeasurer ? options_.textMeasurer
                                          : platform().service<PangoTextMeasurer>()),
      icons_(options_.icons ? options_.icons : platform().service<IconCatalog>()),
      scratchSurface_(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1)),
      scratch_(cairo_create(scratchSurface_)) {
    auto environment = std::make_shared<Environment>();
    if (options_.reduceMotion) {
        reduceMotion_ = std::make_shared<const std::function<bool()>>(options_.reduceMotion);
        environment->setReduceMotionProvider(reduceMotion_);
    }
    rootEnvironment_ = environment;
}

Host::~Host() {
    root_.reset();
    if (kept_) cairo_surface_destroy(kept_);
    cairo_destroy(scratch_);
    cairo_surface_destroy(scratchSurface_);
}

double Host::now() const {
    return platform().clock().now();
}

// --- updates

void Host::setRootView(View root) {
    rootView_ = std::move(root);
    rootChanged_ = true;
    rootTransaction_ = Transaction::current();
    setNeedsUpdate();
}

void Host::setNeedsUpdate() {
    if (updatePosted_) return;
    updatePosted_ = true;
    platform().runLoop().post(weakly(weak_from_this(), [](Host& self) {
        if (self.updatePosted_) self.runUpdate();
    }));
}

void Host::updateNow() {
    runUpdate();
}

void Host::markDirty(const std::weak_ptr<Node>& node, const Transaction& transaction) {
    dirty_.push_back({node, transaction});
    setNeedsUpdate();
}

void Host::runUpdate() {
    platform().runLoop().assertMainThread();
    updatePosted_ = false;
    ++pass_;
    // Where the focus is, for the control that takes it should the update remove it.
    if (Node* focused = focusedNode()) rememberWhereFocusIs(*focused);
    const double time = now();
    Transaction passTransaction;
    bool animated = false;
    auto note = [&](const Transaction& transaction) {
        if (transaction.animates() || !animated) passTransaction = transaction;
        animated = animated || transaction.animates();
    };

    if (rootChanged_ || !root_) {
        rootChanged_ = false;
        note(rootTransaction_);
        if (!root_) root_ = std::make_shared<Node>(*this, nullptr, ChildKey{});
        UpdateContext context{*this, rootTransaction_, pass_, time};
        root_->update(std::make_shared<RootElement>(rootView_.element()), context);
    }
    auto dirty = std::move(dirty_);
    dirty_.clear();
    std::vector<std::pair<std::shared_ptr<Node>, Transaction>> nodes;
    for (auto& entry : dirty) {
        if (auto node = entry.node.lock()) nodes.emplace_back(std::move(node), entry.transaction);
    }
    // Parents first: a parent's rebuild may rebuild or remove its children.
    std::stable_sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) {
        return a.first->depth() < b.first->depth();
    });
    for (auto& [node, transaction] : nodes) {
        if (!node->isAttached() || node->builtPass() == pass_) continue;
        note(transaction);
        UpdateContext context{*this, transaction, pass_, time};
        node->rebuild(context);
    }
    layout(passTransaction);

    auto appeared = std::move(appeared_);
    appeared_.clear();
    for (const auto& weak : appeared) {
        if (auto node = weak.lock(); node && node->isAttached()) node->element().didAppear(*node);
    }
    auto work = std::move(afterUpdate_);
    afterUpdate_.clear();
    for (auto& item : work) item();
    syncFocusBindings();
    passFocusFromLeavingView();
    updateHover();
    if (hasDamage()) displayNeeded();
    if (onAccessibilityChange) onAccessibilityChange();
}

void Host::layout(const Transaction& transaction) {
    LayoutContext context{*this, *textMeasurer_, pass_, now(), transaction, std::nullopt};
    statistics_.measured = statistics_.placed = 0;
    Size size = size_;
    // Views built while laying out (content made for a size) are laid out in a further round.
    constexpr int kMostRounds = 4;
    for (int round = 0; round == 0 || (round < kMostRounds && !layoutQueue_.empty()); ++round) {
        std::vector<std::shared_ptr<Node>> changed;
        for (const auto& weak : layoutQueue_) {
            if (auto node = weak.lock()) changed.push_back(std::move(node));
        }
        layoutQueue_.clear();
        // Outer changes first: their climb may already take in the inner ones.
        std::stable_sort(changed.begin(), changed.end(),
                         [](const auto& a, const auto& b) { return a->depth() < b->depth(); });
        std::vector<std::shared_ptr<Node>> boundaries;
        for (const auto& node : changed) {
            if (Node* boundary = node->climbToLayoutBoundary(context))
                boundaries.push_back(boundary->shared_from_this());
        }
        size = options_.size ? *options_.size : root_->sizeThatFits({}, context);
        root_->place(Rect({0, 0}, size), context);
        for (const auto& boundary : boundaries) boundary->relayout(context);
    }
    placeFollowers(context);
    if (size != size_) fullDamage_ = true;
    size_ = size;
    if (onLayout) onLayout(size);
}

void Host::placeFollowers(LayoutContext& context) {
    std::erase_if(followers_, [](const auto& weak) {
        auto node = weak.lock();
        return !node || !node->isAttached();
    });
    // A copy: placing may build views (and so add followers).
    for (const auto& weak : std::vector(followers_)) {
        if (auto node = weak.lock()) {
            node->needsLayout_ = true;
            node->relayout(context);
        }
    }
}

void Host::setProposedSize(std::optional<Size> size) {
    options_.size = size;
    setNeedsUpdate();
}

Size Host::fittingSize(std::optional<double> width) {
    if (updatePosted_) runUpdate();
    LayoutContext context{*this, *textMeasurer_, pass_, now(), Transaction{}, std::nullopt};
    return root_->sizeThatFits({width, std::nullopt}, context);
}

void Host::setNeedsDisplay() {
    fullDamage_ = true;
    displayNeeded();
}

void Host::displayNeeded() {
    if (onNeedsDisplay) onNeedsDisplay();
}

void Host::layoutChanged(Node& node) {
    layoutQueue_.push_back(node.weak_from_this());
}

void Host::displayChanged(Node& node) {
    displayQueue_.push_back(node.weak_from_this());
}

void Host::addDamage(const Rect& rect) {
    if (!fullDamage_) damage_.add(rect);
}

void Host::followerAdded(Node& node) {
    followers_.push_back(node.weak_from_this());
}

bool Host::hasDamage() const {
    return fullDamage_ || !damage_.isEmpty() || !displayQueue_.empty();
}

// --- animation

void Host::animationStarted(Node& node) {
    if (!node.listedAsAnimating_) {
        node.listedAsAnimating_ = true;
        animating_.push_back(node.weak_from_this());
    }
    if (!frameTimer_.isEmpty()) return;
    frameTimer_.replace(Timer::scheduledTimer(platform().runLoop(), kFrameInterval, true,
                                              weakly(weak_from_this(), &Host::tick),
                                              RunLoopMode::common));
}

void Host::tick() {
    // Only the animating nodes are visited; the drawing that follows finds their ancestors.
    const double time = now();
    pruneRemovals();
    const bool animating = std::any_of(animating_.begin(), animating_.end(), [&](const auto& weak) {
        auto node = weak.lock();
        return node && node->isAnimating(time);
    });
    if (!animating) frameTimer_.clear();
    // Readers ask where things are: while views move, and once more where they come to rest.
    const bool moving = std::any_of(animating_.begin(), animating_.end(), [&](const auto& weak) {
        auto node = weak.lock();
        return node && node->movesOnScreen(time);
    });
    if ((moving || wasMoving_) && onAccessibilityChange) onAccessibilityChange();
    wasMoving_ = moving;
    displayNeeded();
}

// --- node events

void Host::nodeDidInsert(Node& node) {
    appeared_.push_back(node.weak_from_this());
}

void Host::nodeWillRemove(Node& node) {
    if (Node* focused = focusedNode(); focused && isInSubtree(focused, node)) {
        setFocus(nullptr);
        focusLeftWithView_ = true;
    }
    std::vector<std::weak_ptr<Node>> stillHovered;
    for (const auto& weak : hovered_) {
        auto hovered = weak.lock();
        if (hovered && isInSubtree(hovered.get(), node)) {
            hovered->element().hoverChanged(*hovered, false);
        } else {
            stillHovered.push_back(weak);
        }
    }
    hovered_ = std::move(stillHovered);
    // Inner views first: a component's state is dropped only after the views of its body have
    // run their disappearing handlers, which may still use it.
    std::vector<Node*> leaving;
    node.forEachInSubtree([&](Node& each) {
        if (!each.isRemoving()) leaving.push_back(&each);
    });
    for (auto it = leaving.rbegin(); it != leaving.rend(); ++it) {
        (*it)->element().willDisappear(**it);
    }
}

void Host::nodeDidResize(Node& node) {
    node.element().didResize(node, node.frame().size);
}

void Host::pruneRemovals() {
    // Leaving views are animating ones: the tree itself is not walked.
    const double time = now();
    for (std::size_t i = 0; i < animating_.size(); ++i) {
        if (auto node = animating_[i].lock()) node->pruneIfRemovalEnded(time);
    }
}

}  // namespace talvori::ui

#include "ui/Host.hpp"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Panel.hpp"
#include "ui/AccessibilityNode.hpp"
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

bool isInSubtree(const Node* node, const Node& root) {
    for (; node; node = node->parent()) {
        if (node == &root) return true;
    }
    return false;
}

bool isTabStop(const Node& node) {
    return node.isAttached() && node.element().isTabStop(node);
}

// The views that take the focus, in reading order (the order of the tree: stacks lay their
// children out leading to trailing and top to bottom).
void collectFocusable(Node& node, std::vector<Node*>& found) {
    if (node.isRemoving()) return;
    if (isTabStop(node)) found.push_back(&node);
    for (const auto& child : node.children()) collectFocusable(*child, found);
}

Node* focusTarget(Node& node) {
    if (node.element().isFocusable(node)) return &node;
    for (const auto& child : node.children()) {
        if (child->isRemoving()) continue;
        if (Node* target = focusTarget(*child)) return target;
    }
    return nullptr;
}

// Whole pixels for a picture's side: at least one, and one for a length that is no number.
int pixelsFor(double length) {
    constexpr double kLargestSide = 32767;  // cairo's limit for an image
    return std::isfinite(length)
               ? static_cast<int>(std::clamp(std::ceil(length), 1.0, kLargestSide))
               : 1;
}

cairo_status_t appendToVector(void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

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
    displayNeeded();
}

// --- node events

void Host::nodeDidInsert(Node& node) {
    appeared_.push_back(node.weak_from_this());
}

void Host::nodeWillRemove(Node& node) {
    if (Node* focused = focusedNode(); focused && isInSubtree(focused, node)) setFocus(nullptr);
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

// --- drawing

void Host::draw(cairo_t* cr) {
    if (!root_) return;
    pruneRemovals();
    const double time = now();
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    const double scale = matrix.xx;
    const bool aligned = matrix.xy == 0 && matrix.yx == 0 && scale > 0 && matrix.yy == scale &&
                         matrix.x0 == std::round(matrix.x0) && matrix.y0 == std::round(matrix.y0);
    if (!aligned) {
        DrawContext context{cr, time, *textMeasurer_, *icons_};
        root_->draw(context);
        return;
    }
    // Texts show their caret only in the key window.
    if (isKeyWindow() != keptAsKeyWindow_) {
        keptAsKeyWindow_ = !keptAsKeyWindow_;
        fullDamage_ = true;
    }
    const bool everything = fullDamage_;
    fullDamage_ = false;
    DamageRegion changed;
    if (everything) {
        // Where each change lies does not matter when everything is drawn: finding it would cost
        // as much as the drawing for a window whose views are all new.
        forgetDamage(time);
    } else {
        changed = damage_;
        collectDamage(changed, time, true);
    }
    damage_.clear();
    const int width = pixelsFor(size_.width * scale);
    const int height = pixelsFor(size_.height * scale);
    const Rect whole(0, 0, width, height);
    const DamageRegion pixels = changed.toPixels(scale, whole);
    reportLeftovers(changed, everything);
    statistics_.drawn = 0;
    DrawContext context{cr, time, *textMeasurer_, *icons_};
    context.recordScale = scale;
    context.recordOrigin = {matrix.x0, matrix.y0};
    context.drawnCount = &statistics_.drawn;
    // The area itself, not the box around it: two small changes far apart, such as a row at the
    // top and a count at the bottom, leave most of the kept frame as it is.
    if (everything || pixels.area() > 0.5 * width * height) {
        // Most of the window changes: drawn straight into the picture, as fast as it can be. The
        // kept frame is made again by the next drawing that changes less.
        keptValid_ = false;
        root_->draw(context);
        return;
    }
    updateKeptFrame(scale, pixels, context);
    cairo_save(cr);
    // Whole pixels onto whole pixels: a plain copy.
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, kept_, matrix.x0, matrix.y0);
    cairo_paint(cr);
    cairo_restore(cr);
}

void Host::collectDamage(DamageRegion& region, double now, bool consume) {
    for (const auto& weak : displayQueue_) {
        if (auto node = weak.lock()) {
            region.add(node->spreadByAncestors(node->drawingBoundsInHost(now), now));
            if (consume) node->queuedForDisplay_ = false;
        }
    }
    if (consume) displayQueue_.clear();
    for (const auto& weak : animating_) {
        auto node = weak.lock();
        if (!node) continue;
        region.add(node->spreadByAncestors(node->drawnBounds(), now));
        node->invalidateBounds();
        region.add(node->spreadByAncestors(node->drawingBoundsInHost(now), now));
    }
    if (consume) dropEndedAnimations(now);
}

void Host::forgetDamage(double now) {
    for (const auto& weak : displayQueue_) {
        if (auto node = weak.lock()) node->queuedForDisplay_ = false;
    }
    displayQueue_.clear();
    for (const auto& weak : animating_) {
        if (auto node = weak.lock()) node->invalidateBounds();
    }
    dropEndedAnimations(now);
}

void Host::dropEndedAnimations(double now) {
    // An animation that ended is drawn once more, in its final state, and then forgotten.
    std::erase_if(animating_, [now](const auto& weak) {
        auto node = weak.lock();
        if (!node) return true;
        if (node->isAnimating(now)) return false;
        node->listedAsAnimating_ = false;
        return true;
    });
}

std::optional<std::vector<Rect>> Host::pendingDamage() {
    if (fullDamage_) {
        reportedAll_ = true;
        return std::nullopt;
    }
    DamageRegion region = damage_;
    region.add(unreported_);
    unreported_.clear();
    collectDamage(region, now(), false);
    reported_.insert(reported_.end(), region.rects().begin(), region.rects().end());
    return region.rects();
}

void Host::reportLeftovers(const DamageRegion& drawn, bool whole) {
    // An animation reported at one frame is drawn a moment later, a little further on: what the
    // window was not told of is told now, so that no part of the picture stays behind on screen.
    bool added = false;
    if (onNeedsDisplay && !reportedAll_) {
        auto told = [&](const Rect& rect) {
            return std::any_of(reported_.begin(), reported_.end(), [&](const Rect& r) {
                return rect.minX() >= r.minX() && rect.minY() >= r.minY() &&
                       rect.maxX() <= r.maxX() && rect.maxY() <= r.maxY();
            });
        };
        for (const Rect& rect : whole ? std::vector{Rect({0, 0}, size_)} : drawn.rects()) {
            if (told(rect)) continue;
            unreported_.add(rect);
            added = true;
        }
    }
    reported_.clear();
    reportedAll_ = false;
    if (added) {
        platform().runLoop().post(
            weakly(weak_from_this(), [](Host& self) { self.displayNeeded(); }));
    }
}

void Host::updateKeptFrame(double scale, const DamageRegion& changed, DrawContext context) {
    const int width = pixelsFor(size_.width * scale);
    const int height = pixelsFor(size_.height * scale);
    if (!kept_ || keptScale_ != scale || cairo_image_surface_get_width(kept_) != width ||
        cairo_image_surface_get_height(kept_) != height) {
        if (kept_) cairo_surface_destroy(kept_);
        kept_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        keptScale_ = scale;
        keptValid_ = false;
    }
    // A new or stale frame is drawn whole, unclipped, as a drawing straight into the window is.
    const bool whole = !keptValid_;
    keptValid_ = true;
    if (!whole && changed.isEmpty()) return;
    cairo_t* cr = cairo_create(kept_);
    if (!whole) {
        for (const Rect& rect : changed.rects())
            cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
        cairo_clip(cr);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_scale(cr, scale, scale);
    context.cr = cr;
    context.clip = whole ? nullptr : &changed;
    context.recordOrigin = {0, 0};
    root_->draw(context);
    cairo_destroy(cr);
}

std::vector<unsigned char> Host::renderPNG(double scale) {
    if (updatePosted_) runUpdate();
    const int width = pixelsFor(size_.width * scale);
    const int height = pixelsFor(size_.height * scale);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    draw(cr);
    cairo_destroy(cr);
    std::vector<unsigned char> bytes;
    cairo_surface_write_to_png_stream(surface, appendToVector, &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

bool Host::writePNG(const std::string& path, double scale) {
    const auto bytes = renderPNG(scale);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

// --- pointer

Node* Host::hitTest(Point point) {
    pruneRemovals();
    return root_ ? root_->hitTest(point, scratch_) : nullptr;
}

bool Host::isInside(const Node& node, Point point) {
    return isInSubtree(hitTest(point), node);
}

std::vector<std::shared_ptr<Node>> Host::pointerTargets(Node* hit) const {
    // The innermost handler takes the press, together with handlers modifying the same view.
    Node* owner = hit;
    while (owner && !owner->element().handlesPointer(*owner)) owner = owner->parent();
    std::vector<std::shared_ptr<Node>> targets;
    for (Node* node = owner; node; node = node->parent()) {
        if (node->element().handlesPointer(*node)) targets.push_back(node->shared_from_this());
        if (!node->parent() || node->parent()->children().size() != 1) break;
    }
    return targets;
}

void Host::sendPointer(PointerPhase phase, Point point) {
    std::vector<std::shared_ptr<Node>> targets;
    for (const auto& weak : pressed_) {
        if (auto node = weak.lock(); node && node->isAttached()) targets.push_back(std::move(node));
    }
    for (const auto& node : targets) {
        // The geometry the press was hit-tested in.
        cairo_matrix_t toLocal = node->settledTransformFromHost();
        cairo_matrix_invert(&toLocal);
        Point local = point, start = pressStart_;
        cairo_matrix_transform_point(&toLocal, &local.x, &local.y);
        cairo_matrix_transform_point(&toLocal, &start.x, &start.y);
        node->element().pointerEvent(*node,
                                     PointerEvent{phase, local, start, isInside(*node, point)});
    }
}

bool Host::mouseDown(Point point) {
    platform().runLoop().assertMainThread();
    pointer_ = point;
    pressStart_ = point;
    pressed_.clear();
    for (const auto& node : pointerTargets(hitTest(point))) pressed_.push_back(node);
    sendPointer(PointerPhase::began, point);
    return !pressed_.empty();
}

bool Host::mouseDragged(Point point) {
    pointer_ = point;
    sendPointer(PointerPhase::moved, point);
    return !pressed_.empty();
}

bool Host::mouseUp(Point point) {
    pointer_ = point;
    sendPointer(PointerPhase::ended, point);
    const bool handled = !pressed_.empty();
    pressed_.clear();
    updateHover();
    return handled;
}

void Host::mouseMoved(Point point) {
    pointer_ = point;
    updateHover();
}

void Host::mouseExited() {
    pointer_.reset();
    updateHover();
}

bool Host::isOnScreen() const {
    if (!windowProvider_) return true;
    const auto panel = windowProvider_();
    return panel && panel->isVisible();
}

void Host::windowVisibilityDidChange() {
    const bool shown = isOnScreen();
    if (!shown) windowDidOrderOut();
    if (!root_) return;
    std::vector<std::weak_ptr<Node>> nodes;
    root_->forEachInSubtree([&](Node& node) {
        if (node.isAttached()) nodes.push_back(node.weak_from_this());
    });
    for (const auto& weak : nodes) {
        if (auto node = weak.lock(); node && node->isAttached())
            node->element().screenPresenceChanged(*node, shown);
    }
}

std::optional<Rect> Host::frameInWindow(const Node& node) const {
    if (!window()) return std::nullopt;
    return node.frameInHost(now());
}

std::optional<Rect> Host::frameOnScreen(const Node& node) const {
    const auto panel = window();
    if (!panel) return std::nullopt;
    const Rect inWindow = node.frameInHost(now());
    const Rect frame = panel->frame();
    return Rect(frame.minX() + inWindow.minX(), frame.maxY() - inWindow.maxY(), inWindow.width(),
                inWindow.height());
}

void Host::windowDidOrderOut() {
    pointer_.reset();
    if (!pressed_.empty()) sendPointer(PointerPhase::cancelled, pressStart_);
    pressed_.clear();
    updateHover();
}

bool Host::scrollWheel(Point point, double dy) {
    if (!root_) return false;
    // The wheel scrolls the innermost scroll view under the pointer, wherever its content is.
    const double time = now();
    std::vector<Node*> underPointer;
    root_->forEachInSubtree([&](Node& node) {
        if (node.isAttached() && node.element().isScrollable() &&
            node.frameInHost(time).contains(point)) {
            underPointer.push_back(&node);
        }
    });
    for (auto it = underPointer.rbegin(); it != underPointer.rend(); ++it) {
        if ((*it)->element().scrollBy(**it, dy)) {
            (*it)->setNeedsLayout();
            return true;
        }
    }
    return false;
}

void Host::updateHover() {
    std::vector<std::weak_ptr<Node>> hovered;
    if (pointer_) {
        for (Node* node = hitTest(*pointer_); node; node = node->parent()) {
            if (node->element().tracksHover())
                hovered.insert(hovered.begin(), node->weak_from_this());
        }
    }
    setHovered(std::move(hovered));
}

void Host::setHovered(std::vector<std::weak_ptr<Node>> hovered) {
    auto contains = [](const std::vector<std::weak_ptr<Node>>& list,
                       const std::shared_ptr<Node>& node) {
        return std::any_of(list.begin(), list.end(),
                           [&](const auto& weak) { return weak.lock() == node; });
    };
    const auto previous = std::move(hovered_);
    hovered_ = hovered;
    // Leaves first, innermost first; then enters, outermost first.
    for (auto it = previous.rbegin(); it != previous.rend(); ++it) {
        auto node = it->lock();
        if (node && node->isAttached() && !contains(hovered, node))
            node->element().hoverChanged(*node, false);
    }
    for (const auto& weak : hovered) {
        auto node = weak.lock();
        if (node && !contains(previous, node)) node->element().hoverChanged(*node, true);
    }
}

// --- keys and focus

void Host::setKeyWindow(bool isKey) {
    if (isKeyWindow() == isKey) return;
    isKeyWindow_ = isKey;
    setNeedsDisplay();
}

Node* Host::focusedNode() const {
    auto node = focused_.lock();
    return node && node->isAttached() ? node.get() : nullptr;
}

bool Host::hasFocusedTextField() const {
    const Node* node = focusedNode();
    return node && node->element().isTextInput();
}

void Host::setFocus(Node* target) {
    auto previous = focused_.lock();
    if (previous.get() == target) return;
    focused_ = target ? target->weak_from_this() : std::weak_ptr<Node>();
    if (previous && !previous->isRemoving()) previous->element().focusChanged(*previous, false);
    if (target) target->element().focusChanged(*target, true);
    syncBindingsFromFocus();
    if (onFocusChange) onFocusChange(hasFocusedTextField());
    if (onAccessibilityChange) onAccessibilityChange();
    setNeedsDisplay();
}

void Host::requestFocus(Node& node) {
    if (Node* target = focusTarget(node)) setFocus(target);
}

void Host::resignFocus() {
    setFocus(nullptr);
}

void Host::resignFocus(Node& node) {
    if (focusedNode() == &node) setFocus(nullptr);
}

void Host::registerFocusBinding(Node& node) {
    std::erase_if(focusBindings_, [](const auto& weak) { return weak.expired(); });
    const auto shared = node.shared_from_this();
    if (std::none_of(focusBindings_.begin(), focusBindings_.end(),
                     [&](const auto& weak) { return weak.lock() == shared; })) {
        focusBindings_.push_back(shared);
    }
}

void Host::forEachFocusBinding(
    const std::function<void(const Binding<bool>&, Node& target)>& visit) {
    for (const auto& weak : std::vector(focusBindings_)) {
        auto node = weak.lock();
        if (!node || !node->isAttached()) continue;
        const auto* binding = node->element().focusBinding();
        Node* target = focusTarget(*node);
        if (binding && target) visit(*binding, *target);
    }
}

void Host::syncFocusBindings() {
    forEachFocusBinding([this](const Binding<bool>& binding, Node& target) {
        const bool wanted = binding.get();
        if (wanted && focusedNode() != &target) setFocus(&target);
        if (!wanted && focusedNode() == &target) setFocus(nullptr);
    });
}

void Host::syncBindingsFromFocus() {
    Node* focused = focusedNode();
    forEachFocusBinding([focused](const Binding<bool>& binding, Node& target) {
        const bool isFocused = &target == focused;
        if (binding.get() != isFocused) binding.set(isFocused);
    });
}

bool Host::performShortcut(Node& node, const KeyPress& press) {
    if (node.isRemoving()) return false;
    const auto* shortcut = node.element().keyboardShortcut();
    if (shortcut && shortcut->matches(press) && node.environment().isEnabled) {
        bool performed = false;
        node.forEachInSubtree([&](Node& inner) {
            if (!performed && !inner.isRemoving()) performed = inner.element().performAction(inner);
        });
        if (performed) return true;
    }
    for (const auto& child : std::vector(node.children())) {
        if (performShortcut(*child, press)) return true;
    }
    return false;
}

bool Host::keyDownToFocus(const KeyPress& press) {
    platform().runLoop().assertMainThread();
    Node* focused = focusedNode();
    if (!focused) return false;
    const auto keep = focused->shared_from_this();
    for (Node* node = focused; node; node = node->parent()) {
        if (node->element().keyDown(*node, press)) return true;
    }
    return false;
}

bool Host::moveFocus(bool forward) {
    if (!root_) return false;
    std::vector<Node*> candidates;
    collectFocusable(*root_, candidates);
    if (candidates.empty()) return false;
    const auto current = std::find(candidates.begin(), candidates.end(), focusedNode());
    Node* next = nullptr;
    if (current == candidates.end()) {
        next = forward ? candidates.front() : candidates.back();
    } else if (forward) {
        next = std::next(current) == candidates.end() ? candidates.front() : *std::next(current);
    } else {
        next = current == candidates.begin() ? candidates.back() : *std::prev(current);
    }
    setFocus(next);
    return true;
}

bool Host::keyDown(const KeyPress& press) {
    if (keyDownToFocus(press)) return true;
    const bool plainTab = press.key == Key::tab && !press.hasCommand() &&
                          !contains(press.modifiers, Modifiers::control) &&
                          !contains(press.modifiers, Modifiers::option);
    if (plainTab && moveFocus(!press.hasShift())) return true;
    return isKeyWindow() && root_ && performShortcut(*root_, press);
}

void Host::type(std::string_view text) {
    for (const char* c = text.data(); c < text.data() + text.size(); c = g_utf8_next_char(c)) {
        const char* next = g_utf8_next_char(c);
        keyDown(KeyPress::character(std::string(c, static_cast<std::size_t>(next - c))));
    }
}

bool Host::press(Key key, Modifiers modifiers) {
    return keyDown(KeyPress::named(key, modifiers));
}

// --- inspection

namespace {

bool matches(const Node& node, const Query& query) {
    const Element& element = node.element();
    switch (query.kind) {
        case Query::Kind::label: {
            if (const auto label = accessibilityLabelOf(element)) return *label == query.value;
            return element.implicitLabel() == query.value;
        }
        case Query::Kind::identifier:
            return accessibilityIdentifierOf(element) == query.value;
        case Query::Kind::text:
            return element.text() == query.value;
    }
    return false;
}

}  // namespace

void Host::collect(Node& node, const Query& query, std::vector<NodeRef>& found, bool firstOnly) {
    if (firstOnly && !found.empty()) return;
    if (matches(node, query)) found.emplace_back(weak_from_this(), node.weak_from_this());
    for (const auto& child : node.children()) collect(*child, query, found, firstOnly);
}

void Host::pruneRemovals() {
    // Leaving views are animating ones: the tree itself is not walked.
    const double time = now();
    for (std::size_t i = 0; i < animating_.size(); ++i) {
        if (auto node = animating_[i].lock()) node->pruneIfRemovalEnded(time);
    }
}

NodeRef Host::find(const Query& query) {
    if (updatePosted_) runUpdate();
    pruneRemovals();
    std::vector<NodeRef> found;
    if (root_) collect(*root_, query, found, true);
    return found.empty() ? NodeRef() : found.front();
}

std::vector<NodeRef> Host::findAll(const Query& query) {
    if (updatePosted_) runUpdate();
    pruneRemovals();
    std::vector<NodeRef> found;
    if (root_) collect(*root_, query, found, false);
    return found;
}

NodeRef Host::root() {
    return NodeRef(weak_from_this(), root_);
}

std::string Host::accessibilityDump() {
    if (!root_) return {};
    std::string text;
    for (const auto& element : accessibilityElementsOf(*root_, now())) text += element.dump();
    return text;
}

std::string Host::viewDump() {
    std::string text;
    if (!root_) return text;
    const double time = now();
    std::function<void(const Node&, int)> dump = [&](const Node& node, int depth) {
        const Rect frame = node.presentedFrame(time);
        text += std::string(static_cast<std::size_t>(depth) * 2, ' ') + node.element().debugName() +
                (node.isRemoving() ? " (leaving)" : "") + " [" + std::to_string(frame.minX()) +
                ", " + std::to_string(frame.minY()) + ", " + std::to_string(frame.width()) + " x " +
                std::to_string(frame.height()) + "]\n";
        for (const auto& child : node.children()) dump(*child, depth + 1);
    };
    dump(*root_, 0);
    return text;
}

}  // namespace talvori::ui

// Pointer input: presses, drags, the wheel and hovering, and whether the window is seen.
#include <algorithm>
#include <cmath>

#include "platform/Platform.hpp"
#include "platform/desktop/Panel.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"

namespace talvori::ui {

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

bool Host::pasteSelection(Point point) {
    platform().runLoop().assertMainThread();
    for (Node* node = hitTest(point); node; node = node->parent()) {
        if (!node->element().isTextInput()) continue;
        const auto keep = node->shared_from_this();
        cairo_matrix_t toLocal = node->settledTransformFromHost();
        cairo_matrix_invert(&toLocal);
        Point local = point;
        cairo_matrix_transform_point(&toLocal, &local.x, &local.y);
        return node->element().pasteSelection(*node, local);
    }
    return false;
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

namespace {

// GTK's wheel step (the visible height to the power 2/3), and at least a few lines of text, but
// never more than the whole view.
double wheelStep(double visibleHeight) {
    constexpr double kSmallestStep = 40;
    return std::min(visibleHeight, std::max(std::pow(visibleHeight, 2.0 / 3.0), kSmallestStep));
}

}  // namespace

bool Host::scrollPage(bool down) {
    if (!root_) return false;
    Node* scroller = nullptr;
    for (Node* node = focusedNode(); node && !scroller; node = node->parent()) {
        if (node->element().isScrollable()) scroller = node;
    }
    if (!scroller) {
        root_->forEachInSubtree([&](Node& node) {
            if (!scroller && node.isAttached() && node.element().isScrollable()) scroller = &node;
        });
    }
    if (!scroller) return false;
    const double page = std::max(scroller->frame().height() * 0.9, 1.0);
    if (!scroller->element().scrollBy(*scroller, down ? page : -page)) return false;
    scroller->setNeedsLayout();
    return true;
}

bool Host::scrollWheel(Point point, double dy, bool notches) {
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
        const double points = notches ? dy * wheelStep((*it)->frame().height()) : dy;
        if ((*it)->element().scrollBy(**it, points)) {
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

}  // namespace talvori::ui

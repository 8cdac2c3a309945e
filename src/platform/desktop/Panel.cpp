#include "platform/desktop/Panel.hpp"

#include <algorithm>
#include <utility>

#include "platform/core/weakly.hpp"
#include "platform/desktop/StyleMask.hpp"

namespace talvori {

namespace {

double mix(double from, double to, double progress) {
    return from + (to - from) * progress;
}

Rect mix(const Rect& from, const Rect& to, double progress) {
    return {mix(from.minX(), to.minX(), progress), mix(from.minY(), to.minY(), progress),
            mix(from.width(), to.width(), progress), mix(from.height(), to.height(), progress)};
}

}  // namespace

Panel::Panel(std::weak_ptr<RunLoop> loop, const Rect& contentRect, unsigned styleMask)
    : loop_(std::move(loop)), styleMask_(styleMask), frame_(contentRect) {
    // A window with a title bar is a document-style window; one without is a panel, which hides
    // while the application is inactive and takes key status only when its owner allows it.
    const bool titled = (styleMask & StyleMask::titled) != 0;
    canBecomeKey_ = titled || (styleMask & StyleMask::resizable) != 0;
    canBecomeMain_ = titled;
    hidesOnDeactivate_ = !titled;
}

Panel::~Panel() {
    cancelAnimation(frameAnimation_);
    cancelAnimation(alphaAnimation_);
    if (content_) content_->detach();
}

// ---- Frame

void Panel::setFrame(const Rect& frame, bool display) {
    cancelAnimation(frameAnimation_);
    applyFrame(frame);
    if (display) setNeedsDisplay();
}

void Panel::setFrameOrigin(const Point& origin) {
    setFrame({origin, frame_.size});
}

void Panel::windowSystemDidChangeFrame(const Rect& frame) {
    cancelAnimation(frameAnimation_);
    applyFrame(frame, false);
}

void Panel::applyFrame(const Rect& frame, bool tellBackend) {
    const Rect old = frame_;
    if (old == frame) return;
    frame_ = frame;
    if (tellBackend) frameDidChange(old);
    if (old.origin != frame.origin) postNotification(kDidMoveNotification);
    if (old.size != frame.size) postNotification(kDidResizeNotification);
}

void Panel::animateFrame(const Rect& target, double duration, AnimationCurve curve,
                         std::function<void()> completion) {
    cancelAnimation(frameAnimation_);
    auto loop = loop_.lock();
    if (!loop) return;
    const Rect from = frame_;
    frameAnimation_ = PropertyAnimation::start(
        *loop, duration, curve,
        [self = shared_from_this(), from, target](double progress) {
            self->applyFrame(progress >= 1 ? target : mix(from, target, progress));
        },
        std::move(completion));
}

void Panel::cancelAnimation(std::weak_ptr<PropertyAnimation>& animation) {
    if (auto running = std::exchange(animation, {}).lock()) running->cancel();
}

// ---- Level and order

void Panel::setLevel(int level) {
    if (level_ == level) return;
    level_ = level;
    levelDidChange();
}

void Panel::makeKeyAndOrderFront() {
    orderFront();
    makeKey();
}

void Panel::close() {
    if (closed_) return;
    // Keep the panel alive while observers of the notification drop their references.
    auto self = shared_from_this();
    postNotification(kWillCloseNotification);
    closed_ = true;
    cancelAnimation(frameAnimation_);
    cancelAnimation(alphaAnimation_);
    closeWindow();
    setHostedContent(nullptr);
}

// ---- Key status

bool Panel::makeFirstResponder(const std::shared_ptr<Responder>& responder) {
    auto current = firstResponder_.lock();
    if (current == responder) return true;
    if (current && !current->resignFirstResponder()) return false;
    firstResponder_.reset();
    if (!responder) return true;
    if (!responder->acceptsFirstResponder() || !responder->becomeFirstResponder()) return false;
    firstResponder_ = responder;
    return true;
}

void Panel::didBecomeKey() {
    postNotification(kDidBecomeKeyNotification);
    if (auto handler = eventHandler()) handler->windowDidBecomeKey(*this);
}

void Panel::visibilityMayHaveChanged() {
    const bool visible = isVisible();
    if (visible == wasVisible_) return;
    wasVisible_ = visible;
    if (auto content = content_) content->visibilityDidChange(visible);
}

void Panel::didResignKey() {
    postNotification(kDidResignKeyNotification);
    if (auto handler = eventHandler()) handler->windowDidResignKey(*this);
}

// ---- Alpha

double Panel::alphaValue() const {
    if (auto animation = alphaAnimation_.lock(); animation && animation->isRunning()) {
        return mix(alphaFrom_, alphaTo_, animation->progress());
    }
    return alpha_;
}

void Panel::setAlphaValue(double alpha) {
    cancelAnimation(alphaAnimation_);
    applyAlpha(alpha);
}

void Panel::applyAlpha(double alpha) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha_ == alpha) return;
    alpha_ = alpha;
    alphaDidChange();
}

void Panel::animateAlphaValue(double target, double duration, AnimationCurve curve,
                              std::function<void()> completion) {
    const double from = alphaValue();
    cancelAnimation(alphaAnimation_);
    auto loop = loop_.lock();
    if (!loop) return;
    alphaFrom_ = from;
    alphaTo_ = std::clamp(target, 0.0, 1.0);
    alphaAnimation_ = PropertyAnimation::start(
        *loop, duration, curve,
        [self = shared_from_this(), from, to = alphaTo_](double progress) {
            self->applyAlpha(mix(from, to, progress));
        },
        std::move(completion));
}

// ---- Appearance and layer

void Panel::setBackgroundColor(Color color) {
    backgroundColor_ = color;
    appearanceDidChange();
}

void Panel::setContentLayer(const ContentLayer& layer) {
    if (layer_ == layer) return;
    layer_ = layer;
    appearanceDidChange();
}

void Panel::addBackgroundColorAnimation(const std::string& key, Color from, Color to,
                                        double duration, AnimationCurve curve) {
    auto loop = loop_.lock();
    if (!loop) return;
    const Nanoseconds start = loop->now();
    const Nanoseconds end =
        addSaturating(start, std::max<Nanoseconds>(0, nanosecondsFromSeconds(duration)));
    layerAnimations_[key] = {from, to, start, end, curve, nextLayerAnimationOrder_++};
    appearanceDidChange();
}

void Panel::removeLayerAnimation(const std::string& key) {
    if (layerAnimations_.erase(key) > 0) appearanceDidChange();
}

std::optional<Color> Panel::presentationBackgroundColor() const {
    if (!hasBeenShown_) return std::nullopt;
    auto loop = loop_.lock();
    const LayerAnimation* newest = nullptr;
    if (loop) {
        for (const auto& [key, animation] : layerAnimations_) {
            if (loop->now() >= animation.end) continue;
            if (!newest || animation.order > newest->order) newest = &animation;
        }
    }
    if (!newest) return layer_.backgroundColor;
    const double fraction = static_cast<double>(loop->now() - newest->start) /
                            static_cast<double>(newest->end - newest->start);
    return newest->from.interpolated(newest->to, animationProgress(newest->curve, fraction));
}

// ---- Behaviour

void Panel::setIgnoresMouseEvents(bool value) {
    if (ignoresMouseEvents_ == value) return;
    ignoresMouseEvents_ = value;
    ignoresMouseEventsDidChange();
}

void Panel::setTitle(std::string title) {
    title_ = std::move(title);
    appearanceDidChange();
}

// ---- Content

void Panel::setHostedContent(std::shared_ptr<HostedContent> content) {
    if (content_ == content) return;
    if (content_) {
        if (pointerInside_) content_->mouseExited();
        content_->detach();
    }
    content_ = std::move(content);
    if (content_) {
        std::weak_ptr<Panel> weak = weak_from_this();
        content_->attach(weak, weakly(weak, &Panel::setNeedsDisplay));
    }
    setNeedsDisplay();
}

void Panel::setNeedsDisplay() {
    contentNeedsDisplay();
}

void Panel::setNeedsDisplayInRects(const std::vector<Rect>& rects) {
    if (!rects.empty()) contentNeedsDisplayInRects(rects);
}

void Panel::display() {
    redrawNow();
}

// ---- Events

int Panel::addTrackingArea(TrackingArea area) {
    const int identifier = nextTrackingArea_++;
    trackingAreas_[identifier] = {std::move(area), false};
    return identifier;
}

void Panel::removeTrackingArea(int identifier) {
    trackingAreas_.erase(identifier);
}

std::shared_ptr<Panel> Panel::blockingWindow() const {
    auto window = blockingWindow_.lock();
    return window && !window->isClosed() ? window : nullptr;
}

bool Panel::handleMouseEvent(const Event& event) {
    auto self = shared_from_this();
    if (auto blocker = blockingWindow()) {
        if (event.type == EventType::leftMouseDown || event.type == EventType::rightMouseDown) {
            blocker->makeKey();
        }
        return true;
    }
    if (auto content = content_) {
        bool handled = false;
        switch (event.type) {
            case EventType::leftMouseDown:
            case EventType::rightMouseDown:
            case EventType::otherMouseDown:
                handled = content->mouseDown(event, event.locationInWindow);
                break;
            case EventType::leftMouseDragged:
            case EventType::rightMouseDragged:
                handled = content->mouseDragged(event, event.locationInWindow);
                break;
            case EventType::leftMouseUp:
            case EventType::rightMouseUp:
            case EventType::otherMouseUp:
                handled = content->mouseUp(event, event.locationInWindow);
                break;
            case EventType::scrollWheel:
                handled = content->scrollWheel(event, event.locationInWindow);
                break;
            default:
                break;
        }
        if (handled) return true;
    }
    return dispatchToEventHandler(event) || moveByBackground(event);
}

bool Panel::dispatchToEventHandler(const Event& event) {
    auto handler = eventHandler();
    if (!handler) return false;
    switch (event.type) {
        case EventType::leftMouseDown:
        case EventType::rightMouseDown:
            return handler->mouseDown(*this, event);
        case EventType::leftMouseDragged:
        case EventType::rightMouseDragged:
            return handler->mouseDragged(*this, event);
        case EventType::leftMouseUp:
        case EventType::rightMouseUp:
            return handler->mouseUp(*this, event);
        default:
            return false;
    }
}

bool Panel::moveByBackground(const Event& event) {
    switch (event.type) {
        case EventType::leftMouseDown:
            backgroundDrag_.reset();
            if (!movableByBackground_) return false;
            if (!startWindowSystemMove(event)) backgroundDrag_ = {event.location, frame_.origin};
            return true;
        case EventType::leftMouseDragged:
            if (!backgroundDrag_) return false;
            setFrameOrigin(
                {backgroundDrag_->origin.x + event.location.x - backgroundDrag_->pressedAt.x,
                 backgroundDrag_->origin.y + event.location.y - backgroundDrag_->pressedAt.y});
            return true;
        case EventType::leftMouseUp: {
            const bool wasMoving = backgroundDrag_.has_value();
            backgroundDrag_.reset();
            return wasMoving;
        }
        default:
            return false;
    }
}

bool Panel::handleKeyEvent(const Event& event) {
    auto self = shared_from_this();
    if (blockingWindow()) return true;
    const bool down = event.type == EventType::keyDown;
    if (auto responder = firstResponder()) {
        if (down ? responder->keyDown(event) : responder->keyUp(event)) return true;
    }
    if (auto content = content_) {
        if (down ? content->keyDown(event) : content->keyUp(event)) return true;
    }
    if (auto handler = eventHandler()) {
        return down ? handler->keyDown(*this, event) : handler->keyUp(*this, event);
    }
    return false;
}

bool Panel::areaContains(const TrackedArea& tracked, const Point& location) const {
    const Rect bounds = tracked.area.rect.value_or(Rect({0, 0}, frame_.size));
    return bounds.contains(location);
}

void Panel::updateHover(const std::optional<Event>& pointerInside) {
    auto self = shared_from_this();
    const bool inside = pointerInside.has_value();
    if (inside != pointerInside_) {
        pointerInside_ = inside;
        if (auto content = content_) {
            if (inside) {
                content->mouseEntered(pointerInside->locationInWindow);
            } else {
                content->mouseExited();
            }
        }
    } else if (inside) {
        if (auto content = content_)
            content->mouseMoved(*pointerInside, pointerInside->locationInWindow);
    }
    // Areas may be added or removed by the handler while it runs: walk over a snapshot of ids.
    std::vector<int> identifiers;
    for (const auto& [identifier, tracked] : trackingAreas_) identifiers.push_back(identifier);
    for (const int identifier : identifiers) {
        auto found = trackingAreas_.find(identifier);
        if (found == trackingAreas_.end()) continue;
        TrackedArea& tracked = found->second;
        const bool nowInside = inside && areaContains(tracked, pointerInside->locationInWindow);
        Event event = pointerInside.value_or(Event{});
        auto handler = eventHandler();
        if (nowInside != tracked.inside) {
            tracked.inside = nowInside;
            event.type = nowInside ? EventType::mouseEntered : EventType::mouseExited;
            if (handler) {
                if (nowInside) {
                    handler->mouseEntered(*this, event);
                } else {
                    handler->mouseExited(*this, event);
                }
            }
        } else if (nowInside && tracked.area.reportsMouseMoved && handler) {
            event.type = EventType::mouseMoved;
            handler->mouseMoved(*this, event);
        }
    }
}

}  // namespace talvori

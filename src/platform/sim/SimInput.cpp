#include "platform/sim/SimInput.hpp"

#include <fmt/format.h>

#include "platform/desktop/StyleMask.hpp"
#include "platform/sim/SimPanel.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

namespace {

EventType downType(MouseButton button) {
    return button == MouseButton::left ? EventType::leftMouseDown : EventType::rightMouseDown;
}
EventType upType(MouseButton button) {
    return button == MouseButton::left ? EventType::leftMouseUp : EventType::rightMouseUp;
}
EventType draggedType(MouseButton button) {
    return button == MouseButton::left ? EventType::leftMouseDragged : EventType::rightMouseDragged;
}
bool isDown(EventType type) {
    return type == EventType::leftMouseDown || type == EventType::rightMouseDown;
}

const char* typeName(EventType type) {
    switch (type) {
        case EventType::leftMouseDown:
            return "leftMouseDown";
        case EventType::leftMouseUp:
            return "leftMouseUp";
        case EventType::rightMouseDown:
            return "rightMouseDown";
        case EventType::rightMouseUp:
            return "rightMouseUp";
        case EventType::leftMouseDragged:
            return "leftMouseDragged";
        case EventType::rightMouseDragged:
            return "rightMouseDragged";
        case EventType::keyDown:
            return "keyDown";
        case EventType::keyUp:
            return "keyUp";
        case EventType::flagsChanged:
            return "flagsChanged";
        case EventType::scrollWheel:
            return "scrollWheel";
        default:
            return "event";
    }
}

}  // namespace

SimInput::SimInput(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

SimInput::~SimInput() = default;

// ---- Registrations

Registration SimInput::addLocalMonitor(EventMask mask, LocalMonitor monitor) {
    if (refusesMonitors_) return {};
    return monitors_.addLocal(mask, std::move(monitor));
}

Registration SimInput::addGlobalMonitor(EventMask mask, GlobalMonitor monitor) {
    if (refusesMonitors_) return {};
    return monitors_.addGlobal(mask, std::move(monitor));
}

Registration SimInput::addKeyInterceptor(KeyInterceptor interceptor) {
    return interceptors_.add(std::move(interceptor));
}

std::shared_ptr<EventTap> SimInput::makeListenOnlyEventTap(EventMask mask,
                                                           EventTap::Callback callback) {
    if (refusesTaps_) return nullptr;
    auto tap = std::make_shared<EventTap>(mask, std::move(callback));
    std::erase_if(taps_, [](const auto& weak) { return weak.expired(); });
    taps_.push_back(tap);
    return tap;
}

void SimInput::disableEventTaps(EventType reason) {
    auto taps = taps_;
    for (const auto& weak : taps) {
        if (auto tap = weak.lock()) tap->disable(reason);
    }
}

void SimInput::setCursor(const Cursor& cursor) {
    cursor_ = cursor;
    ++cursorSets_;
}

void SimInput::setKeyRepeat(double delay, double interval) {
    keyRepeatDelay_ = delay;
    keyRepeatInterval_ = interval;
}

// ---- Event plumbing

Event SimInput::makeEvent(EventType type) const {
    Event event;
    event.type = type;
    event.timestamp = world_->now();
    event.location = pointer_;
    event.modifierFlags = modifierFlags_;
    return event;
}

Event SimInput::forWindow(Event event, std::uint32_t window) const {
    event.windowNumber = window;
    if (const SimWindow* target = world_->window(window)) {
        const Rect frame = world_->frameOf(*target);
        event.locationInWindow = {event.location.x - frame.minX(), frame.maxY() - event.location.y};
    }
    return event;
}

void SimInput::tap(const Event& event) {
    auto taps = taps_;
    for (const auto& weak : taps) {
        if (auto tap = weak.lock()) tap->deliver(event);
    }
}

std::optional<Event> SimInput::runLocalMonitors(Event event) {
    const EventType type = event.type;
    auto passed = monitors_.runLocal(std::move(event));
    if (!passed) world_->log(fmt::format("{} swallowed by a local monitor", typeName(type)));
    return passed;
}

// ---- Mouse

void SimInput::moveMouse(const Point& location) {
    pointer_ = location;
    Event event = makeEvent(mouseIsDown_ ? draggedType(downButton_) : EventType::mouseMoved);
    dispatchMouse(event);
}

void SimInput::mouseDown(const Point& location, MouseButton button) {
    pointer_ = location;
    mouseIsDown_ = true;
    downButton_ = button;
    Event event = makeEvent(downType(button));
    event.clickCount = 1;
    dispatchMouse(event);
}

void SimInput::mouseUp(const Point& location, MouseButton button) {
    pointer_ = location;
    Event event = makeEvent(upType(button));
    event.clickCount = 1;
    dispatchMouse(event);
    mouseIsDown_ = false;
    mouseDownWindow_ = 0;
}

void SimInput::scrollWheel(const Point& location, double deltaY) {
    pointer_ = location;
    Event event = makeEvent(EventType::scrollWheel);
    event.scrollingDeltaY = deltaY;
    dispatchMouse(event);
}

void SimInput::scrollWheelNotches(const Point& location, double notches) {
    pointer_ = location;
    Event event = makeEvent(EventType::scrollWheel);
    event.scrollingDeltaY = notches;
    event.hasPreciseScrollingDeltas = false;
    dispatchMouse(event);
}

void SimInput::click(const Point& location, MouseButton button) {
    mouseDown(location, button);
    mouseUp(location, button);
}

void SimInput::drag(const Point& from, const Point& to, int steps) {
    mouseDown(from);
    steps = std::max(steps, 1);
    for (int step = 1; step <= steps; ++step) {
        const double fraction = static_cast<double>(step) / steps;
        moveMouse({from.x + (to.x - from.x) * fraction, from.y + (to.y - from.y) * fraction});
    }
    mouseUp(to);
}

void SimInput::dispatchMouse(Event event) {
    // The pointer arrives before it acts: hover follows it first.
    hover(true);
    tap(event);
    std::uint32_t target = 0;
    if (isDown(event.type)) {
        target = world_->windowAt(pointer_);
        mouseDownWindow_ = target;
    } else if (mouseIsDown_) {
        target = mouseDownWindow_;
    } else {
        target = world_->windowAt(pointer_);
    }
    const SimWindow* window = world_->window(target);
    if (window && window->ownerPID == SimWorld::kOwnPID) {
        deliverToOurWindow(event, target);
    } else {
        deliverToOtherApplication(event, target);
    }
}

void SimInput::deliverToOurWindow(Event event, std::uint32_t window) {
    event = forWindow(event, window);
    if (event.type == EventType::mouseMoved) return;
    auto passed = runLocalMonitors(event);
    if (!passed) return;
    const SimWindow* record = world_->window(window);
    if (record && record->isStatusItem) {
        if (statusItemClick_) statusItemClick_(window, *passed);
        return;
    }
    auto panel = record ? record->panel.lock() : nullptr;
    if (!panel) return;
    if (isDown(passed->type)) {
        world_->log(fmt::format("{} on panel {}", typeName(passed->type), window));
        if (panel->canBecomeKey() && !panel->isKeyWindow()) {
            panel->makeKey();
            if ((panel->styleMask() & StyleMask::nonactivatingPanel) == 0) {
                world_->activateApplication(SimWorld::kOwnPID);
            }
        }
    }
    panel->handleMouseEvent(*passed);
}

void SimInput::deliverToOtherApplication(const Event& event, std::uint32_t window) {
    const bool down = isDown(event.type);
    if (down) {
        world_->log(fmt::format("{} on window {} pid {}", typeName(event.type), window,
                                world_->ownerPID(window)));
    }
    if (down && clickOrder_ == ClickOrder::raiseFirst) world_->focusWindow(window);
    monitors_.runGlobal(event);
    if (down && clickOrder_ == ClickOrder::monitorsFirst) world_->focusWindow(window);
}

void SimInput::updateHover() {
    hover(false);
}

void SimInput::hover(bool pointerMoved) {
    const std::uint32_t number = world_->windowAt(pointer_);
    const SimWindow* window = world_->window(number);
    auto panel = window ? window->panel.lock() : nullptr;
    auto previous = hovered_.lock();
    if (panel != previous) {
        hovered_ = panel;
        if (previous) previous->updateHover(std::nullopt);
        if (panel) panel->updateHover(forWindow(makeEvent(EventType::mouseEntered), number));
    } else if (panel && pointerMoved) {
        panel->updateHover(forWindow(makeEvent(EventType::mouseMoved), number));
    }
}

// ---- Keyboard

KeyDelivery SimInput::keyDown(const KeyStroke& stroke) {
    return dispatchKey(EventType::keyDown, stroke);
}

KeyDelivery SimInput::keyUp(const KeyStroke& stroke) {
    return dispatchKey(EventType::keyUp, stroke);
}

KeyDelivery SimInput::typeKey(const KeyStroke& stroke) {
    const KeyDelivery delivery = keyDown(stroke);
    keyUp(stroke);
    return delivery;
}

void SimInput::setModifierFlags(std::uint64_t flags) {
    modifierFlags_ = flags & ModifierFlags::deviceIndependentMask;
    Event event = makeEvent(EventType::flagsChanged);
    tap(event);
    if (world_->keyPanel() || world_->frontmostPID() == SimWorld::kOwnPID) {
        runLocalMonitors(forWindow(event, world_->keyWindowNumber()));
    } else {
        monitors_.runGlobal(event);
    }
}

KeyDelivery SimInput::dispatchKey(EventType type, const KeyStroke& stroke) {
    modifierFlags_ = stroke.modifierFlags & ModifierFlags::deviceIndependentMask;
    Event event = makeEvent(type);
    event.keyCode = stroke.keyCode;
    event.characters = stroke.characters;
    event.charactersIgnoringModifiers = stroke.charactersIgnoringModifiers;
    event.isARepeat = stroke.isARepeat;
    event.specialKey = Event::specialKeyForKeyCode(stroke.keyCode);
    tap(event);

    bool intercepted = false;
    interceptors_.forEach([&](const auto& entry) {
        intercepted = entry->value(event);
        return !intercepted;
    });
    if (intercepted) {
        world_->log(fmt::format("{} {} intercepted", typeName(type), stroke.keyCode));
        return KeyDelivery::intercepted;
    }

    auto key = world_->keyPanel();
    if (!key && world_->frontmostPID() != SimWorld::kOwnPID) {
        monitors_.runGlobal(event);
        world_->log(fmt::format("{} {} to pid {}", typeName(type), stroke.keyCode,
                                world_->frontmostPID().value_or(0)));
        return KeyDelivery::otherApplication;
    }
    auto passed = runLocalMonitors(forWindow(event, key ? key->windowNumber() : 0));
    if (!passed) return KeyDelivery::swallowed;
    if (!key) return KeyDelivery::unhandled;
    const bool handled = key->handleKeyEvent(*passed);
    world_->log(fmt::format("{} {} to panel {}{}", typeName(type), stroke.keyCode,
                            key->windowNumber(), handled ? "" : " (unhandled)"));
    return handled ? KeyDelivery::handled : KeyDelivery::unhandled;
}

}  // namespace talvori::sim

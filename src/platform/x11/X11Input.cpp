#include "platform/x11/X11Input.hpp"

#include <xcb/xinput.h>
// The XKB protocol header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/core/Clock.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "platform/desktop/Responder.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Cursors.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11KeyCodes.hpp"
#include "platform/x11/X11Keyboard.hpp"
#include "platform/x11/X11Panel.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11Screens.hpp"
#include "platform/x11/X11ScrollValuators.hpp"

namespace talvori::x11 {

namespace {

// X keeps no double-click setting; these are the usual desktop values.
constexpr double kDoubleClickInterval = 0.5;
constexpr double kDoubleClickDistance = 4;

constexpr EventMask bits(std::initializer_list<EventType> types) {
    EventMask mask = 0;
    for (const EventType type : types) mask |= eventMaskBit(type);
    return mask;
}

constexpr EventMask kPressMask = bits({EventType::leftMouseDown, EventType::rightMouseDown});
constexpr EventMask kReleaseMask = bits({EventType::leftMouseUp, EventType::rightMouseUp});
constexpr EventMask kMotionMask =
    bits({EventType::mouseMoved, EventType::leftMouseDragged, EventType::rightMouseDragged});
constexpr EventMask kKeyDownMask = bits({EventType::keyDown, EventType::flagsChanged});
constexpr EventMask kKeyUpMask = bits({EventType::keyUp, EventType::flagsChanged});

constexpr std::uint32_t kEmulated = XCB_INPUT_POINTER_EVENT_FLAGS_POINTER_EMULATED;
// The eight modifiers and the layout of a core state, without the buttons.
constexpr std::uint16_t kModifierBits = 0xFF | (3 << 13);

bool isMotion(EventType type) {
    return (eventMaskBit(type) & kMotionMask) != 0;
}

std::int16_t toRoot(xcb_input_fp1616_t value) {
    return static_cast<std::int16_t>(value >> 16);
}

// The core event's modifier, group and button bits (buttons 1 to 5) of an XInput 2 event.
std::uint16_t coreState(const xcb_input_button_press_event_t& device) {
    std::uint32_t state = (device.mods.effective & 0xFF) | ((device.group.effective & 3) << 13);
    if (device.buttons_len > 0) {
        state |= ((xcb_input_button_press_button_mask(&device)[0] >> 1) & 0x1F) << 8;
    }
    return static_cast<std::uint16_t>(state);
}

xcb_button_press_event_t coreEvent(const xcb_input_button_press_event_t& device) {
    xcb_button_press_event_t core{};
    core.detail = static_cast<xcb_button_t>(device.detail);
    core.time = device.time;
    core.root = device.root;
    core.event = device.event;
    core.child = device.child;
    core.root_x = toRoot(device.root_x);
    core.root_y = toRoot(device.root_y);
    core.event_x = toRoot(device.event_x);
    core.event_y = toRoot(device.event_y);
    core.state = coreState(device);
    core.same_screen = 1;
    return core;
}

// Whether a motion moved the pointer itself (its first two valuators), not only a scroll axis.
bool movesPointer(const xcb_input_motion_event_t& motion) {
    return motion.valuators_len > 0 && (xcb_input_button_press_valuator_mask(&motion)[0] & 3);
}

}  // namespace

// While an event is handled the pointer is where that event says, not where the hand has moved
// since: a program running behind the user starts a drag where the press was, and a drag costs
// no round trip per step.
class X11Input::EventLocationScope {
  public:
    EventLocationScope(X11Input& input, Point location)
        : input_(input), saved_(std::exchange(input.eventLocation_, location)) {}
    ~EventLocationScope() { input_.eventLocation_ = saved_; }
    EventLocationScope(const EventLocationScope&) = delete;
    EventLocationScope& operator=(const EventLocationScope&) = delete;

  private:
    X11Input& input_;
    std::optional<Point> saved_;
};

X11Input::X11Input(std::shared_ptr<X11Application> application,
                   std::shared_ptr<X11Keyboard> keyboard, const Clock& clock)
    : application_(std::move(application)),
      connection_(application_->sharedConnection()),
      keyboard_(std::move(keyboard)),
      cursors_(std::make_unique<X11Cursors>(connection_)),
      scrollValuators_(std::make_unique<X11ScrollValuators>(connection_)),
      clock_(clock) {
    fetchInitialPointer();
}

X11Input::~X11Input() = default;

// ---- State

Point X11Input::mouseLocation() const {
    if (eventLocation_) return *eventLocation_;
    return application_->screens().space().pointToGlobal(known_.rootX, known_.rootY);
}

std::uint64_t X11Input::modifierFlags() const {
    return keyboard_->flags(known_.modifiers);
}

// Until an event tells, the server's answer does; an event that comes before it is newer.
void X11Input::fetchInitialPointer() {
    connection_->whenReplied<xcb_query_pointer_reply_t>(
        xcb_query_pointer(connection_->raw(), connection_->root()),
        weakly(weak_from_this(), [](X11Input& self, Reply<xcb_query_pointer_reply_t> pointer) {
            if (!pointer || self.knownFromEvent_) return;
            self.notePointer(pointer->root_x, pointer->root_y, pointer->mask);
        }));
}

void X11Input::notePointer(std::int16_t rootX, std::int16_t rootY, std::uint16_t state) {
    known_ = {rootX, rootY, static_cast<std::uint16_t>(state & kModifierBits)};
}

// XKB tells every change of the modifiers, wherever the keyboard is.
void X11Input::noteKeyboardState(const xcb_generic_event_t& event) {
    const auto& notify = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
    if (notify.xkbType != XCB_XKB_STATE_NOTIFY) return;
    known_.modifiers = static_cast<std::uint16_t>(notify.mods | ((notify.group & 3) << 13));
}

double X11Input::keyRepeatDelay() const {
    return keyboard_->repeatDelay();
}

double X11Input::keyRepeatInterval() const {
    return keyboard_->repeatInterval();
}

void X11Input::setCursor(const Cursor& cursor) {
    auto target = pressed_.lock();
    if (!target) target = hovered_.lock();
    // The cursor belongs to a window: over none of ours there is nothing to set it on.
    if (!target || !target->isMapped()) return;
    const xcb_cursor_t shape = cursors_->cursor(cursor);
    const std::uint32_t values[] = {shape};
    xcb_change_window_attributes(connection_->raw(), target->window(), XCB_CW_CURSOR, values);
}

// ---- Monitors and taps

Registration X11Input::addLocalMonitor(EventMask mask, LocalMonitor monitor) {
    return monitors_.addLocal(mask, std::move(monitor), reselectRaw());
}

Registration X11Input::addGlobalMonitor(EventMask mask, GlobalMonitor monitor) {
    if (!connection_->hasXinput()) return {};
    auto registration = monitors_.addGlobal(mask, std::move(monitor), reselectRaw());
    updateRawSelection();
    return registration;
}

std::function<void()> X11Input::reselectRaw() {
    return weakly(weak_from_this(), &X11Input::updateRawSelection);
}

std::shared_ptr<EventTap> X11Input::makeListenOnlyEventTap(EventMask mask,
                                                           EventTap::Callback callback) {
    if (!connection_->hasXinput()) return nullptr;
    auto tap = std::make_shared<EventTap>(mask, std::move(callback));
    taps_.push_back(tap);
    updateRawSelection();
    return tap;
}

EventMask X11Input::rawMask() const {
    EventMask wanted = monitors_.globalMask();
    for (const auto& weak : taps_) {
        if (auto tap = weak.lock(); tap && tap->isValid()) wanted |= tap->mask();
    }
    return wanted;
}

void X11Input::updateRawSelection() {
    std::erase_if(taps_, [](const auto& weak) {
        auto tap = weak.lock();
        return !tap || !tap->isValid();
    });
    const EventMask wanted = rawMask();
    std::uint32_t select = 0;
    if (wanted & (kPressMask | kReleaseMask | kMotionMask)) {
        // Drags need the buttons' state as well as the motion.
        select |=
            XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    }
    if (wanted & kMotionMask) select |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
    if (wanted & kKeyDownMask) select |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS;
    if (wanted & kKeyUpMask) select |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
    if (select == selectedRaw_ || !connection_->hasXinput()) return;
    selectedRaw_ = select;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, select};
    xcb_input_xi_select_events(connection_->raw(), connection_->root(), 1, &selection.head);
}

// ---- Events

void X11Input::subscribe(X11EventRouter& router) {
    router.on<&X11Input::buttonPressed>(XCB_BUTTON_PRESS, *this);
    router.on<&X11Input::buttonReleased>(XCB_BUTTON_RELEASE, *this);
    router.on<&X11Input::handleMotion>(XCB_MOTION_NOTIFY, *this);
    router.on<&X11Input::entered>(XCB_ENTER_NOTIFY, *this);
    router.on<&X11Input::left>(XCB_LEAVE_NOTIFY, *this);
    router.on<&X11Input::keyPressed>(XCB_KEY_PRESS, *this);
    router.on<&X11Input::keyReleased>(XCB_KEY_RELEASE, *this);
    router.on<&X11Input::forgetKeysLetGoElsewhere>(XCB_FOCUS_IN, *this);
    router.on<&X11Input::handleRaw>(XCB_GE_GENERIC, *this);
    if (const std::uint8_t xkb = keyboard_->xkbFirstEvent()) {
        router.on<&X11Input::noteKeyboardState>(xkb, *this);
    }
}

void X11Input::buttonPressed(const xcb_button_press_event_t& press) {
    handleButton(press, true);
}

void X11Input::buttonReleased(const xcb_button_release_event_t& release) {
    handleButton(release, false);
}

void X11Input::entered(const xcb_enter_notify_event_t& enter) {
    handleCrossing(enter, true);
}

void X11Input::left(const xcb_leave_notify_event_t& leave) {
    handleCrossing(leave, false);
}

void X11Input::keyPressed(const xcb_key_press_event_t& press) {
    handleKey(press, true);
}

void X11Input::keyReleased(const xcb_key_release_event_t& release) {
    handleKey(release, false);
}

Event X11Input::pointerEvent(EventType type, std::int16_t rootX, std::int16_t rootY,
                             std::uint16_t state, const X11Panel* panel, std::int16_t x,
                             std::int16_t y) {
    knownFromEvent_ = true;
    notePointer(rootX, rootY, state);
    Event event;
    event.type = type;
    event.timestamp = clock_.now();
    const X11RootSpace& space = application_->screens().space();
    event.location = space.pointToGlobal(rootX, rootY);
    if (panel) {
        event.windowNumber = panel->windowNumber();
        event.locationInWindow = {space.toPoints(x), space.toPoints(y)};
    }
    event.modifierFlags = keyboard_->flags(state);
    return event;
}

int X11Input::clickCount(std::uint8_t button, const Point& location) {
    const double now = clock_.now();
    const bool continues = lastClick_.button == button && lastClick_.time >= 0 &&
                           now - lastClick_.time <= kDoubleClickInterval &&
                           std::hypot(location.x - lastClick_.location.x,
                                      location.y - lastClick_.location.y) <= kDoubleClickDistance;
    lastClick_ = {now, button, location, continues ? lastClick_.count + 1 : 1};
    return lastClick_.count;
}

void X11Input::handleButton(const xcb_button_press_event_t& press, bool down) {
    connection_->noteTime(press.time);
    auto panel = application_->panel(press.event);
    if (!panel) return;
    EventType type;
    switch (press.detail) {
        case 1:
            type = down ? EventType::leftMouseDown : EventType::leftMouseUp;
            break;
        case 2:
            type = down ? EventType::otherMouseDown : EventType::otherMouseUp;
            break;
        case 3:
            type = down ? EventType::rightMouseDown : EventType::rightMouseUp;
            break;
        case 4:
        case 5:
            type = EventType::scrollWheel;
            if (!down) return;
            break;
        default:
            return;
    }
    if (type == EventType::scrollWheel) return scroll(press, press.detail == 5 ? 1 : -1);
    Event event = pointerEvent(type, press.root_x, press.root_y, press.state, panel.get(),
                               press.event_x, press.event_y);
    const EventLocationScope scope(*this, event.location);
    if (down) {
        event.clickCount = clickCount(press.detail, event.location);
        pressed_ = panel;
        // A click makes a panel that can take keys the key window, without activating us.
        if (panel->canBecomeKey() && !panel->isKeyWindow()) panel->makeKey();
    } else {
        event.clickCount = lastClick_.count;
        pressed_.reset();
    }
    dispatchToPanel(std::move(event), panel, false);
}

// Notches of the wheel, or a smooth scroll's fractions of one: the view under the pointer decides
// how far a notch goes.
void X11Input::scroll(const xcb_button_press_event_t& press, double notches) {
    auto panel = application_->panel(press.event);
    if (!panel) return;
    Event event = pointerEvent(EventType::scrollWheel, press.root_x, press.root_y, press.state,
                               panel.get(), press.event_x, press.event_y);
    const EventLocationScope scope(*this, event.location);
    event.scrollingDeltaY = notches;
    event.hasPreciseScrollingDeltas = false;
    dispatchToPanel(std::move(event), panel, false);
}

void X11Input::handleMotion(const xcb_motion_notify_event_t& motion) {
    auto panel = application_->panel(motion.event);
    if (!panel) return;
    EventType type = EventType::mouseMoved;
    if (motion.state & XCB_BUTTON_MASK_1) {
        type = EventType::leftMouseDragged;
    } else if (motion.state & XCB_BUTTON_MASK_3) {
        type = EventType::rightMouseDragged;
    }
    Event event = pointerEvent(type, motion.root_x, motion.root_y, motion.state, panel.get(),
                               motion.event_x, motion.event_y);
    const EventLocationScope scope(*this, event.location);
    if (type != EventType::mouseMoved) {
        dispatchToPanel(std::move(event), panel, false);
        return;
    }
    auto passed = monitors_.runLocal(std::move(event));
    if (passed && !panel->isClosed()) panel->updateHover(passed);
}

void X11Input::handleCrossing(const xcb_enter_notify_event_t& crossing, bool entered) {
    auto panel = application_->panel(crossing.event);
    if (!panel || crossing.detail == XCB_NOTIFY_DETAIL_INFERIOR) return;
    if (crossing.mode == XCB_NOTIFY_MODE_GRAB) return;
    Event event = pointerEvent(EventType::mouseEntered, crossing.root_x, crossing.root_y,
                               crossing.state, panel.get(), crossing.event_x, crossing.event_y);
    const EventLocationScope scope(*this, event.location);
    if (entered) {
        selectDeviceEvents(panel->window());
        // Scrolling done over other windows since is not ours to follow.
        scrollValuators_->reload();
        hovered_ = panel;
        panel->updateHover(std::move(event));
    } else {
        if (hovered_.lock() == panel) hovered_.reset();
        panel->updateHover(std::nullopt);
    }
}

void X11Input::handleKey(const xcb_key_press_event_t& key, bool down) {
    connection_->noteTime(key.time);
    auto panel = application_->panel(key.event);
    if (!panel) panel = std::static_pointer_cast<X11Panel>(application_->keyWindow());
    const bool repeat = down && keysDown_.contains(key.detail);
    if (down) {
        keysDown_.insert(key.detail);
    } else {
        keysDown_.erase(key.detail);
    }
    if (!panel) return;
    Event event = pointerEvent(EventType::keyDown, key.root_x, key.root_y, key.state, panel.get(),
                               key.event_x, key.event_y);
    if (const std::uint16_t bit = keyboard_->modifierBitOfKey(key.detail)) {
        // A modifier key: the new set of modifiers, as the key leaves it.
        const std::uint16_t state = down ? (key.state | bit) : (key.state & ~bit);
        event.type = EventType::flagsChanged;
        event.modifierFlags = keyboard_->flags(state);
        if (const auto code = X11KeyCodes::virtualKeyCode(key.detail)) event.keyCode = *code;
        if (!repeat) dispatchToPanel(std::move(event), panel, true);
        return;
    }
    const auto code = X11KeyCodes::virtualKeyCode(key.detail);
    // A key the reference keyboard lacks has no code the program understands.
    if (!code) {
        passOnUnused(*panel, key.detail, down, false);
        return;
    }
    event.type = down ? EventType::keyDown : EventType::keyUp;
    event.keyCode = *code;
    event.characters = keyboard_->characters(key.detail, key.state);
    event.charactersIgnoringModifiers =
        keyboard_->charactersIgnoringModifiers(key.detail, key.state);
    event.isARepeat = repeat;
    event.specialKey = Event::specialKeyForKeyCode(*code);
    if (down && !compose(event, key, *panel)) {
        passOnUnused(*panel, key.detail, down, true);
        return;
    }
    const bool kept = X11Panel::keepsKey(event);
    const bool used = dispatchToPanel(std::move(event), panel, true);
    passOnUnused(*panel, key.detail, down, used || kept);
}

// A key released while the keyboard was elsewhere sends us no release: its next press would pass
// for a repeat, and the recorder and the fields ignore repeats of what they already took.
void X11Input::forgetKeysLetGoElsewhere(const xcb_focus_in_event_t& focus) {
    // Only keys pressed on our windows are counted: the focus moving among other programs'
    // windows asks nothing.
    if (keysDown_.empty() || !application_->panel(focus.event)) return;
    xcb_connection_t* raw = connection_->raw();
    const auto keymap = waitReply(xcb_query_keymap_reply, raw, xcb_query_keymap(raw));
    if (!keymap) return;
    std::erase_if(keysDown_, [&](std::uint32_t key) {
        return key > 255 || !(keymap->keys[key / 8] & (1U << (key % 8)));
    });
}

// Dead keys and the Compose key build one character over several presses, in a text field only,
// as an input method does: the keys of everything else (shortcuts, the recorder) arrive as they
// are. False when the press belongs to a sequence and types nothing.
bool X11Input::compose(Event& event, const xcb_key_press_event_t& key, const X11Panel& panel) {
    constexpr std::uint64_t kChords =
        ModifierFlags::control | ModifierFlags::option | ModifierFlags::command;
    const auto responder = panel.firstResponder();
    if (event.specialKey || (event.deviceIndependentFlags() & kChords) || !responder ||
        !responder->isTextEditor()) {
        keyboard_->resetCompose();
        return true;
    }
    auto composition = keyboard_->compose(key.detail, key.state);
    if (composition.state == X11Keyboard::Composition::consumed) return false;
    if (composition.state == X11Keyboard::Composition::composed) {
        event.characters = composition.text;
        event.charactersIgnoringModifiers = std::move(composition.text);
    }
    return true;
}

void X11Input::passOnUnused(X11Panel& panel, std::uint8_t key, bool down, bool used) {
    if (!down) {
        panel.keyReleased(key);
    } else if (!used) {
        panel.noteUnusedKey(key);
    }
}

bool X11Input::dispatchToPanel(Event event, const std::shared_ptr<X11Panel>& panel, bool key) {
    auto passed = monitors_.runLocal(std::move(event));
    if (!passed || panel->isClosed()) return true;
    if (!key) {
        panel->handleMouseEvent(*passed);
        return true;
    }
    return passed->type == EventType::flagsChanged || panel->handleKeyEvent(*passed);
}

// ---- XInput 2 pointer events on our windows

// Selecting them stops the core pointer events there: a device that scrolls smoothly sends both its
// scroll axes and, for programs that know only the wheel, copies as buttons 4 and 5, which the
// core events could not tell from a real wheel's.
void X11Input::selectDeviceEvents(xcb_window_t window) {
    if (!connection_->hasXinput()) return;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE |
                    XCB_INPUT_XI_EVENT_MASK_MOTION};
    xcb_input_xi_select_events(connection_->raw(), window, 1, &selection.head);
}

void X11Input::handleDevice(const xcb_ge_generic_event_t& event) {
    const auto& device = reinterpret_cast<const xcb_input_button_press_event_t&>(event);
    const xcb_button_press_event_t core = coreEvent(device);
    if (event.event_type == XCB_INPUT_MOTION) {
        // What the server made up from a wheel button counts once, as the button.
        const auto notches = scrollValuators_->verticalNotches(device);
        if (notches && *notches != 0 && !(device.flags & kEmulated)) scroll(core, *notches);
        if (notches && !movesPointer(device)) return;
        static_assert(sizeof(xcb_motion_notify_event_t) == sizeof core);
        xcb_motion_notify_event_t motion;
        std::memcpy(&motion, &core, sizeof motion);
        return handleMotion(motion);
    }
    const bool wheel = device.detail == 4 || device.detail == 5;
    if (wheel && (device.flags & kEmulated) && scrollValuators_->scrollsSmoothly(device.sourceid))
        return;
    handleButton(core, event.event_type == XCB_INPUT_BUTTON_PRESS);
}

// ---- Raw events: what the whole session sees

void X11Input::handleRaw(const xcb_ge_generic_event_t& generic) {
    if (!connection_->hasXinput() || generic.extension != connection_->xinputOpcode()) return;
    if (generic.event_type == XCB_INPUT_BUTTON_PRESS ||
        generic.event_type == XCB_INPUT_BUTTON_RELEASE || generic.event_type == XCB_INPUT_MOTION)
        return handleDevice(generic);
    const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(generic);
    connection_->noteTime(raw.time);
    const EventMask wanted = rawMask();
    EventType type;
    switch (generic.event_type) {
        case XCB_INPUT_RAW_BUTTON_PRESS:
        case XCB_INPUT_RAW_BUTTON_RELEASE: {
            const bool down = generic.event_type == XCB_INPUT_RAW_BUTTON_PRESS;
            if (raw.detail != 1 && raw.detail != 3) return;
            const std::uint32_t bit = raw.detail == 1 ? 1 : 4;
            rawButtonsDown_ = down ? (rawButtonsDown_ | bit) : (rawButtonsDown_ & ~bit);
            type = raw.detail == 1 ? (down ? EventType::leftMouseDown : EventType::leftMouseUp)
                                   : (down ? EventType::rightMouseDown : EventType::rightMouseUp);
            break;
        }
        case XCB_INPUT_RAW_MOTION:
            type = (rawButtonsDown_ & 1)   ? EventType::leftMouseDragged
                   : (rawButtonsDown_ & 4) ? EventType::rightMouseDragged
                                           : EventType::mouseMoved;
            break;
        case XCB_INPUT_RAW_KEY_PRESS:
            type = EventType::keyDown;
            break;
        case XCB_INPUT_RAW_KEY_RELEASE:
            type = EventType::keyUp;
            break;
        default:
            return;
    }
    // Plain moves nobody asked for are dropped before they cost a request.
    if (!(wanted & eventMaskBit(type))) return;
    if (pressAsked_) return waitBehindPress({type, raw.detail});
    seeRaw({type, raw.detail});
}

void X11Input::seeRaw(RawSeen seen) {
    if (seen.type == EventType::keyDown || seen.type == EventType::keyUp) {
        return seeRawKey(seen.type, seen.key);
    }
    seeRawPointer(seen.type);
}

// Told after the press: a release before its press would leave the button down for whoever
// listens. Moves between two presses are told once, with the newest place.
void X11Input::waitBehindPress(RawSeen seen) {
    if (isMotion(seen.type) && !rawBehindPress_.empty() && isMotion(rawBehindPress_.back().type)) {
        rawBehindPress_.back() = seen;
        return;
    }
    rawBehindPress_.push_back(seen);
}

// The modifiers are the ones XKB last told; the keys go to whoever holds the keyboard.
void X11Input::seeRawKey(EventType type, std::uint32_t key) {
    const auto code = X11KeyCodes::virtualKeyCode(key);
    if (!code) return;
    const Known known = known_;
    Event seen = pointerEvent(type, known.rootX, known.rootY, known.modifiers, nullptr, 0, 0);
    seen.keyCode = *code;
    seen.characters = keyboard_->characters(key, known.modifiers);
    seen.charactersIgnoringModifiers = keyboard_->charactersIgnoringModifiers(key, known.modifiers);
    seen.specialKey = Event::specialKeyForKeyCode(*code);
    bool ours = application_->keyWindow() != nullptr;
    if (!ours && claim_) ours = claim_(false, known.rootX, known.rootY);
    deliverSeen(seen, ours);
}

// Raw events do not tell where the pointer is: it is asked without waiting, and the event told
// when the answer comes, in its place among the events. The raw events after a press or release
// wait until it is told, so that whoever listens hears them in the order they happened; moves made
// while one is asked are told once, with the newest answer.
void X11Input::seeRawPointer(EventType type) {
    if (!isMotion(type)) {
        // A move still asked about happened before this press: told late, it would undo it.
        motionAsked_ = false;
        motionWaiting_.reset();
        return seeRawPress(type);
    }
    if (motionAsked_) {
        motionWaiting_ = type;
        return;
    }
    fetchPointerForMotion(type);
}

// The server may be held by another client for seconds (a grab): the loop goes on meanwhile.
void X11Input::seeRawPress(EventType type) {
    pressAsked_ = true;
    connection_->whenReplied<xcb_query_pointer_reply_t>(
        xcb_query_pointer(connection_->raw(), connection_->root()),
        weakly(weak_from_this(), [type](X11Input& self, Reply<xcb_query_pointer_reply_t> pointer) {
            self.pressAnswered(type, pointer.get());
        }));
}

void X11Input::pressAnswered(EventType type, const xcb_query_pointer_reply_t* pointer) {
    pressAsked_ = false;
    if (pointer) seePointerAt(type, *pointer);
    while (!pressAsked_ && !rawBehindPress_.empty()) {
        const RawSeen next = rawBehindPress_.front();
        rawBehindPress_.pop_front();
        seeRaw(next);
    }
}

void X11Input::fetchPointerForMotion(EventType type) {
    motionAsked_ = true;
    const std::uint64_t asked = ++motionQueries_;
    connection_->whenReplied<xcb_query_pointer_reply_t>(
        xcb_query_pointer(connection_->raw(), connection_->root()),
        weakly(weak_from_this(),
               [type, asked](X11Input& self, Reply<xcb_query_pointer_reply_t> pointer) {
                   self.motionAnswered(type, asked, pointer.get());
               }));
}

void X11Input::motionAnswered(EventType type, std::uint64_t asked,
                              const xcb_query_pointer_reply_t* pointer) {
    // A press came since: the move belongs before it and is dropped.
    if (asked != motionQueries_ || !motionAsked_) return;
    motionAsked_ = false;
    if (motionWaiting_) fetchPointerForMotion(*std::exchange(motionWaiting_, std::nullopt));
    // The monitor that wanted it may have gone meanwhile.
    if (pointer && (rawMask() & eventMaskBit(type))) seePointerAt(type, *pointer);
}

void X11Input::seePointerAt(EventType type, const xcb_query_pointer_reply_t& pointer) {
    const Event seen =
        pointerEvent(type, pointer.root_x, pointer.root_y, pointer.mask, nullptr, 0, 0);
    // A click on one of our windows that takes the mouse is our own event.
    bool ours = application_->panelTakingMouseAt(pointer.child) != nullptr;
    if (!ours && claim_) ours = claim_(true, pointer.root_x, pointer.root_y);
    deliverSeen(seen, ours);
}

void X11Input::deliverSeen(const Event& seen, bool ours) {
    const EventLocationScope scope(*this, seen.location);
    const auto taps = taps_;
    for (const auto& weak : taps) {
        if (auto tap = weak.lock()) tap->deliver(seen);
    }
    if (!ours) monitors_.runGlobal(seen);
    updateRawSelection();
}

}  // namespace talvori::x11

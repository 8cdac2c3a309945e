#include "platform/x11/X11HotKeyService.hpp"

#include <algorithm>
#include <set>

#include "platform/desktop/HotKeyModifiers.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11KeyCodes.hpp"
#include "platform/x11/X11Keyboard.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {
constexpr std::uint8_t kBadAccess = 10;
}

X11HotKeyService::X11HotKeyService(std::shared_ptr<X11Connection> connection,
                                   std::shared_ptr<X11Keyboard> keyboard, Logger log)
    : connection_(std::move(connection)), keyboard_(std::move(keyboard)), log_(std::move(log)) {}

X11HotKeyService::~X11HotKeyService() {
    stopWatchingReleases();
    if (connection_->isClosed()) return;
    for (const auto& [ref, registered] : registered_) ungrab(registered.grabs);
}

// Command is Super and Option is Alt, wherever the modifier map puts them; Fn has no X key.
std::optional<std::uint16_t> X11HotKeyService::xModifiers(std::uint32_t carbonModifiers) const {
    const auto& bits = keyboard_->modifiers();
    std::uint16_t result = 0;
    const auto add = [&](std::uint32_t carbon, std::uint16_t bit) {
        if (!(carbonModifiers & carbon)) return true;
        if (bit == 0) return false;
        result |= bit;
        return true;
    };
    if (carbonModifiers & HotKeyModifiers::function) return std::nullopt;
    if (!add(HotKeyModifiers::shift, bits.shift) || !add(HotKeyModifiers::control, bits.control) ||
        !add(HotKeyModifiers::option, bits.option) ||
        !add(HotKeyModifiers::command, bits.command)) {
        return std::nullopt;
    }
    return result;
}

std::vector<std::uint16_t> X11HotKeyService::lockCombinations() const {
    const auto& bits = keyboard_->modifiers();
    std::set<std::uint16_t> combinations{0};
    for (const std::uint16_t lock : {bits.capsLock, bits.numLock, bits.scrollLock}) {
        if (lock == 0) continue;
        const std::set<std::uint16_t> before = combinations;
        for (const std::uint16_t combination : before) combinations.insert(combination | lock);
    }
    return {combinations.begin(), combinations.end()};
}

std::optional<std::vector<X11HotKeyService::Grab>> X11HotKeyService::combinations(
    std::uint32_t keyCode, std::uint32_t carbonModifiers) const {
    if (keyCode > 0xFFFF) return std::nullopt;
    const auto modifiers = xModifiers(carbonModifiers);
    const auto keys = X11KeyCodes::xKeyCodes(static_cast<std::uint16_t>(keyCode));
    if (!modifiers || keys.empty()) return std::nullopt;
    std::vector<Grab> grabs;
    for (const std::uint32_t key : keys) {
        if (key > 255) continue;
        for (const std::uint16_t lock : lockCombinations()) {
            grabs.push_back(
                {static_cast<xcb_keycode_t>(key), static_cast<std::uint16_t>(*modifiers | lock)});
        }
    }
    if (grabs.empty()) return std::nullopt;
    return grabs;
}

X11HotKeyService::Outcome X11HotKeyService::tryGrabs(const std::vector<Grab>& grabs) {
    xcb_connection_t* raw = connection_->raw();
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(grabs.size());
    for (const Grab& one : grabs) {
        cookies.push_back(xcb_grab_key_checked(raw, 1, connection_->root(), one.modifiers, one.key,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    Outcome outcome;
    for (const auto& cookie : cookies) {
        const std::uint8_t error = connection_->check(cookie);
        outcome.taken = outcome.taken || error == kBadAccess;
        outcome.failed = outcome.failed || error != 0;
    }
    return outcome;
}

std::optional<std::vector<X11HotKeyService::Grab>> X11HotKeyService::grab(
    std::uint32_t keyCode, std::uint32_t carbonModifiers) {
    auto grabs = combinations(keyCode, carbonModifiers);
    if (!grabs) return std::nullopt;
    const Outcome outcome = tryGrabs(*grabs);
    if (!outcome.failed) return grabs;
    // Another client holds the combination (or part of it): release what we did get.
    ungrab(*grabs);
    if (outcome.taken)
        log_.info("Hot key %{public}u with modifiers 0x%{public}x is taken", keyCode,
                  carbonModifiers);
    return std::nullopt;
}

void X11HotKeyService::ungrab(const std::vector<Grab>& grabs) {
    for (const Grab& one : grabs) {
        xcb_ungrab_key(connection_->raw(), one.key, connection_->root(), one.modifiers);
    }
}

bool X11HotKeyService::holds(const Grab& grab) const {
    for (const auto& [ref, registered] : registered_) {
        for (const Grab& one : registered.grabs) {
            if (one.key == grab.key && one.modifiers == grab.modifiers) return true;
        }
    }
    return false;
}

bool X11HotKeyService::isHeldElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) {
    auto trial = combinations(keyCode, modifiers);
    if (!trial) return false;
    // Grabbing our own combination again would succeed, and letting go would lose it.
    std::erase_if(*trial, [this](const Grab& one) { return holds(one); });
    if (trial->empty()) return false;
    const bool taken = tryGrabs(*trial).taken;
    // A release of a grab another client holds leaves that grab alone.
    ungrab(*trial);
    xcb_flush(connection_->raw());
    return taken;
}

void X11HotKeyService::setKeyboardCaptured(bool captured) {
    if (captured == keyboardCaptured_ || connection_->isClosed()) return;
    keyboardCaptured_ = captured;
    xcb_connection_t* raw = connection_->raw();
    if (!captured) {
        if (!panelHoldsKeyboard_ || !panelHoldsKeyboard_()) {
            xcb_ungrab_keyboard(raw, XCB_CURRENT_TIME);
            xcb_flush(raw);
        }
        return;
    }
    // Over the root and reporting to our own windows as usual: the keys still go to the focused
    // window, but no other client's passive grab can take them first. The server's time, since a
    // grab the window manager made after our last event would make ours too old.
    const auto cookie = xcb_grab_keyboard(raw, 1, connection_->root(), XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_flush(raw);
    connection_->whenReplied<xcb_grab_keyboard_reply_t>(
        cookie, [log = log_](Reply<xcb_grab_keyboard_reply_t> reply) {
            if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) return;
            log.info("The keyboard is held by another program: its shortcuts are not seen");
        });
}

std::optional<HotKeyRef> X11HotKeyService::registerHotKey(std::uint32_t keyCode,
                                                          std::uint32_t modifiers, HotKeyID id) {
    // Taken by this program too: a second registration of a held combination is refused.
    for (const auto& [ref, registered] : registered_) {
        if (registered.keyCode == keyCode && registered.carbonModifiers == modifiers) {
            return std::nullopt;
        }
    }
    auto grabs = grab(keyCode, modifiers);
    if (!grabs) return std::nullopt;
    const std::uint64_t ref = nextRef_++;
    registered_[ref] = {keyCode, modifiers, id, std::move(*grabs)};
    return HotKeyRef{ref};
}

void X11HotKeyService::unregisterHotKey(HotKeyRef ref) {
    const auto found = registered_.find(ref.value);
    if (found == registered_.end()) return;
    ungrab(found->second.grabs);
    registered_.erase(found);
}

void X11HotKeyService::keymapChanged() {
    for (auto& [ref, registered] : registered_) {
        ungrab(registered.grabs);
        auto grabs = grab(registered.keyCode, registered.carbonModifiers);
        // Held by another client under the new map: it stays registered but cannot fire.
        registered.grabs = grabs.value_or(std::vector<Grab>{});
    }
}

std::optional<HotKeyHandlerRef> X11HotKeyService::installEventHandler(Handler handler) {
    const std::uint64_t ref = nextRef_++;
    handlers_[ref] = {std::move(handler), false};
    return HotKeyHandlerRef{ref};
}

void X11HotKeyService::setHandlerEnabled(HotKeyHandlerRef handler, bool enabled) {
    if (auto found = handlers_.find(handler.value); found != handlers_.end()) {
        found->second.enabled = enabled;
    }
}

std::optional<std::vector<SymbolicHotKey>> X11HotKeyService::symbolicHotKeys() const {
    // X has no list of the desktop's own shortcuts: they are found one by one (isHeldElsewhere).
    return std::vector<SymbolicHotKey>{};
}

bool X11HotKeyService::handleKey(const xcb_key_press_event_t& key, bool down) {
    if (!down) {
        // A release belongs to the press of the same key, whatever modifiers are still held.
        const auto found = pressed_.find(key.detail);
        if (found == pressed_.end()) return releaseTold_.erase(key.detail) > 0;
        const HotKeyID id = found->second;
        pressed_.erase(found);
        if (pressed_.empty()) stopWatchingReleases();
        deliver(HotKeyEventKind::released, id);
        return true;
    }
    // A held hot key repeats as further presses: swallowed without events.
    if (pressed_.contains(key.detail)) return true;
    releaseTold_.erase(key.detail);
    for (const auto& [ref, registered] : registered_) {
        for (const Grab& one : registered.grabs) {
            if (one.key == key.detail && one.modifiers == (key.state & 0xFF)) {
                connection_->noteTime(key.time);
                pressed_[key.detail] = registered.id;
                watchReleases();
                deliver(HotKeyEventKind::pressed, registered.id);
                return true;
            }
        }
    }
    return false;
}

void X11HotKeyService::watchReleases() {
    if (keyUpTap_ || !makeKeyUpTap_) return;
    keyUpTap_ = makeKeyUpTap_([this](const Event& event) { sawKeyUp(event); });
}

void X11HotKeyService::sawKeyUp(const Event& event) {
    const auto found = std::find_if(pressed_.begin(), pressed_.end(), [&](const auto& held) {
        return X11KeyCodes::virtualKeyCode(held.first) == event.keyCode;
    });
    if (found == pressed_.end()) return;
    const auto [key, id] = *found;
    pressed_.erase(found);
    // Where the server's own release reaches us after all, it is ours still.
    releaseTold_.insert(key);
    if (pressed_.empty()) stopWatchingReleases();
    deliver(HotKeyEventKind::released, id);
}

void X11HotKeyService::stopWatchingReleases() {
    if (keyUpTap_) keyUpTap_->invalidate();
    keyUpTap_.reset();
}

void X11HotKeyService::deliver(HotKeyEventKind kind, HotKeyID id) {
    const HotKeyEvent event{kind, id};
    // A snapshot: handlers may install or remove handlers while they run.
    std::vector<Handler> enabled;
    for (const auto& [ref, installed] : handlers_) {
        if (installed.enabled) enabled.push_back(installed.handler);
    }
    for (const auto& handler : enabled) {
        if (handler(event) == HotKeyEventResult::handled) return;
    }
}

}  // namespace talvori::x11

#include "GlobalShortcuts/HotKeyCenter.hpp"

#include <limits>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/HotKey.hpp"
#include "GlobalShortcuts/Key.hpp"
#include "GlobalShortcuts/LocalEventMonitor.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/MenuTracking.hpp"

namespace GlobalShortcuts {

namespace {

constexpr std::int64_t kMaximumModifiers = 0xFFFFFFFF;
constexpr std::int64_t kMaximumId = 0xFFFFFFFF;
// The device-independent flags without Caps Lock and the numeric-pad flag.
constexpr std::uint64_t kMatchedFlags = 0xFFDE0000;

talvori::HotKeyService& service() {
    return talvori::platform().hotKeyService();
}

}  // namespace

HotKeyCenter& HotKeyCenter::shared() {
    return *talvori::platform().service<HotKeyCenter>();
}

std::shared_ptr<HotKeyCenter> HotKeyCenter::makeShared() {
    std::shared_ptr<HotKeyCenter> center(new HotKeyCenter());
    center->observeMenuTracking();
    return center;
}

HotKeyCenter* HotKeyCenter::existing() {
    if (!talvori::Platform::isInstalled()) return nullptr;
    return talvori::platform().existingService<HotKeyCenter>();
}

// The combinations registered through the centre are the centre's to free: hot keys that outlive
// it (their registry goes after it) must not keep them taken.
HotKeyCenter::~HotKeyCenter() {
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->eventHotKeyRef) unregister(*hotKey);
    }
}

void HotKeyCenter::observeMenuTracking() {
    auto& notifications = talvori::platform().notificationCenter();
    const auto observe = [&](const char* name, bool menuOpen) {
        return notifications.addObserver(
            name, nullptr, talvori::NotificationDelivery::synchronous,
            [weak = weak_from_this(), menuOpen](const talvori::Notification&) {
                auto setMenuOpen = talvori::weakly(
                    weak, [menuOpen](HotKeyCenter& center) { center.setMenuOpen(menuOpen); });
                auto& loop = talvori::platform().runLoop();
                if (loop.isMainThread()) {
                    setMenuOpen();
                } else {
                    // The centre lives on the main thread: a notice from elsewhere is applied
                    // there, on a later turn.
                    loop.postFromAnyThread(std::move(setMenuOpen));
                }
            });
    };
    openMenuObserver_ = observe(talvori::MenuTracking::kDidBeginTrackingNotification, true);
    closeMenuObserver_ = observe(talvori::MenuTracking::kDidEndTrackingNotification, false);
}

std::optional<talvori::HotKeyRef> HotKeyCenter::registerCarbonHotKey(const HotKey& hotKey) const {
    // A stored value the platform cannot take as it is must not wrap around to another key.
    if (!Key::isKeyboardCode(hotKey.carbonKeyCode)) return std::nullopt;
    if (hotKey.carbonModifiers < 0 || hotKey.carbonModifiers > kMaximumModifiers) {
        return std::nullopt;
    }
    if (hotKey.id < 0 || hotKey.id > kMaximumId) return std::nullopt;
    return service().registerHotKey(static_cast<std::uint32_t>(hotKey.carbonKeyCode),
                                    static_cast<std::uint32_t>(hotKey.carbonModifiers),
                                    {kSignature, static_cast<std::uint32_t>(hotKey.id)});
}

bool HotKeyCenter::registerHotKey(const std::shared_ptr<HotKey>& hotKey) {
    const auto ref = registerCarbonHotKey(*hotKey);
    if (!ref) return false;
    hotKey->eventHotKeyRef = ref;
    hotKeys_.insert_or_assign(hotKey->id, hotKey);
    if (!eventHandler_) {
        eventHandler_ = service().installEventHandler(
            [weak = weak_from_this()](const talvori::HotKeyEvent& event) {
                return handleHotKeyEvent(weak, event);
            });
        // Without a handler no event can arrive; the mode waits for a later registration.
        if (!eventHandler_) return true;
    }
    applyMode();
    return true;
}

void HotKeyCenter::unregister(HotKey& hotKey) {
    if (hotKey.eventHotKeyRef) {
        service().unregisterHotKey(*hotKey.eventHotKeyRef);
        hotKey.eventHotKeyRef.reset();
    }
    hotKeys_.erase(hotKey.id);
}

void HotKeyCenter::setEnabled(bool enabled) {
    if (isEnabled_ == enabled) return;
    isEnabled_ = enabled;
    updateMode();
}

void HotKeyCenter::setMenuOpen(bool menuOpen) {
    if (isMenuOpen_ == menuOpen) return;
    isMenuOpen_ = menuOpen;
    updateMode();
}

void HotKeyCenter::updateMode() {
    const auto mode = !isEnabled_ ? Mode::disabled : isMenuOpen_ ? Mode::menuOpen : Mode::normal;
    if (mode == mode_) return;
    mode_ = mode;
    if (eventHandler_) applyMode();
}

void HotKeyCenter::applyMode() {
    if (mode_ == Mode::normal) {
        registerAll();
    } else {
        unregisterAll();
    }
    setHotKeyEventHandlingEnabled(mode_ == Mode::normal);
    setRawKeyEventHandlingEnabled(mode_ == Mode::menuOpen);
}

std::vector<std::shared_ptr<HotKey>> HotKeyCenter::liveHotKeys() const {
    std::vector<std::shared_ptr<HotKey>> live;
    live.reserve(hotKeys_.size());
    for (const auto& [id, weak] : hotKeys_) {
        if (auto hotKey = weak.lock()) live.push_back(std::move(hotKey));
    }
    return live;
}

void HotKeyCenter::unregisterAll() {
    for (const auto& hotKey : liveHotKeys()) {
        if (!hotKey->eventHotKeyRef) continue;
        service().unregisterHotKey(*hotKey->eventHotKeyRef);
        hotKey->eventHotKeyRef.reset();
    }
}

void HotKeyCenter::registerAll() {
    // The snapshot keeps every hot key alive while a failure callback drops its owner's entry.
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->eventHotKeyRef) continue;
        if (const auto ref = registerCarbonHotKey(*hotKey)) {
            hotKey->eventHotKeyRef = ref;
            continue;
        }
        hotKeys_.erase(hotKey->id);
        if (const auto onFailure = hotKey->onRegistrationFailed) onFailure();
    }
}

void HotKeyCenter::setHotKeyEventHandlingEnabled(bool enabled) {
    if (isHotKeyEventHandlingEnabled_ == enabled) return;
    isHotKeyEventHandlingEnabled_ = enabled;
    service().setHandlerEnabled(*eventHandler_, enabled);
}

void HotKeyCenter::setRawKeyEventHandlingEnabled(bool enabled) {
    if (isRawKeyEventHandlingEnabled_ == enabled) return;
    isRawKeyEventHandlingEnabled_ = enabled;
    if (!enabled) {
        if (keyEventMonitor_) keyEventMonitor_->stop();
        pressedKeys_.clear();
        return;
    }
    if (!keyEventMonitor_) {
        const auto keys = talvori::eventMaskBit(talvori::EventType::keyDown) |
                          talvori::eventMaskBit(talvori::EventType::keyUp);
        keyEventMonitor_ = std::make_unique<LocalEventMonitor>(
            keys, [weak = weak_from_this()](const talvori::Event& event) {
                talvori::withOwner(weak, &HotKeyCenter::handleKeyEvent, event);
                return std::optional<talvori::Event>(event);
            });
    }
    keyEventMonitor_->start();
}

std::shared_ptr<HotKey> HotKeyCenter::matchingHotKey(std::int64_t keyCode,
                                                     std::int64_t modifiers) const {
    const auto wanted = CarbonModifiers::forComparison(keyCode, modifiers);
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->carbonKeyCode == keyCode &&
            CarbonModifiers::forComparison(keyCode, hotKey->carbonModifiers) == wanted) {
            return hotKey;
        }
    }
    return nullptr;
}

void HotKeyCenter::handleKeyEvent(const talvori::Event& event) {
    talvori::platform().runLoop().assertMainThread();
    const std::int64_t keyCode = event.keyCode;
    const auto modifiers = CarbonModifiers::fromFlags(event.modifierFlags & kMatchedFlags);
    if (event.type == talvori::EventType::keyDown) {
        // Holding a key never fires again.
        if (event.isARepeat) return;
        const auto hotKey = matchingHotKey(keyCode, modifiers);
        if (!hotKey) return;
        pressedKeys_.insert_or_assign(keyCode,
                                      Press{hotKey->carbonKeyCode, hotKey->carbonModifiers});
        hotKey->onKeyDown();
        return;
    }
    const auto press = pressedKeys_.extract(keyCode);
    const auto hotKey = press ? liveHotKey(press.mapped()) : matchingHotKey(keyCode, modifiers);
    if (hotKey) hotKey->onKeyUp();
}

std::vector<std::pair<std::int64_t, std::int64_t>> HotKeyCenter::symbolicHotKeys() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> result;
    const auto hotKeys = service().symbolicHotKeys();
    if (!hotKeys) return result;
    for (const auto& hotKey : *hotKeys) {
        if (hotKey.enabled) result.emplace_back(hotKey.keyCode, hotKey.modifiers);
    }
    return result;
}

bool HotKeyCenter::isHeldElsewhere(std::int64_t keyCode, std::int64_t modifiers) const {
    constexpr std::int64_t kLargest = std::numeric_limits<std::uint32_t>::max();
    if (keyCode < 0 || keyCode > kLargest || modifiers < 0 || modifiers > kLargest) return false;
    return service().isHeldElsewhere(static_cast<std::uint32_t>(keyCode),
                                     static_cast<std::uint32_t>(modifiers));
}

std::shared_ptr<HotKey> HotKeyCenter::liveHotKey(std::int64_t id) const {
    const auto found = hotKeys_.find(id);
    return found == hotKeys_.end() ? nullptr : found->second.lock();
}

std::shared_ptr<HotKey> HotKeyCenter::liveHotKey(const Press& press) const {
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->carbonKeyCode == press.keyCode && hotKey->carbonModifiers == press.modifiers) {
            return hotKey;
        }
    }
    return nullptr;
}

talvori::HotKeyEventResult HotKeyCenter::handleHotKeyEvent(const std::weak_ptr<HotKeyCenter>& weak,
                                                           const talvori::HotKeyEvent& event) {
    using talvori::HotKeyEventResult;
    auto center = weak.lock();
    if (!center || !talvori::platform().runLoop().isMainThread()) {
        return HotKeyEventResult::notHandled;
    }
    if (event.hotKeyID.signature != kSignature) return HotKeyEventResult::notHandled;
    const std::int64_t id = event.hotKeyID.id;
    // Held while its action runs: the action may drop the hot key's last owner.
    auto hotKey = center->liveHotKey(id);
    if (event.kind == talvori::HotKeyEventKind::released) {
        const auto press = center->pressed_.extract(id);
        if (!hotKey && press) hotKey = center->liveHotKey(press.mapped());
        if (!hotKey) return HotKeyEventResult::notHandled;
        hotKey->onKeyUp();
        return HotKeyEventResult::handled;
    }
    if (!hotKey) return HotKeyEventResult::notHandled;
    center->pressed_.insert_or_assign(id, Press{hotKey->carbonKeyCode, hotKey->carbonModifiers});
    hotKey->onKeyDown();
    return HotKeyEventResult::handled;
}

}  // namespace GlobalShortcuts

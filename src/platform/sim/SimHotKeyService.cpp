#include "platform/sim/SimHotKeyService.hpp"

#include <algorithm>

#include "platform/desktop/HotKeyModifiers.hpp"

namespace talvori::sim {

std::optional<HotKeyRef> SimHotKeyService::registerHotKey(std::uint32_t keyCode,
                                                          std::uint32_t modifiers, HotKeyID id) {
    const Combination combination{keyCode, modifiers};
    if (refusesAll_ || heldElsewhere_.contains(combination) || isRegistered(combination)) {
        calls_.push_back({CallKind::refused, combination, id});
        return std::nullopt;
    }
    const auto ref = nextRef_++;
    registrations_.emplace(ref, Registration{combination, id});
    calls_.push_back({CallKind::registered, combination, id});
    return HotKeyRef{ref};
}

void SimHotKeyService::unregisterHotKey(HotKeyRef ref) {
    const auto found = registrations_.find(ref.value);
    if (found == registrations_.end()) return;
    calls_.push_back({CallKind::unregistered, found->second.combination, found->second.id});
    registrations_.erase(found);
}

std::optional<HotKeyHandlerRef> SimHotKeyService::installEventHandler(Handler handler) {
    if (handlerInstallationFails_) return std::nullopt;
    const auto ref = nextRef_++;
    handlers_.emplace(ref, InstalledHandler{std::move(handler), false});
    return HotKeyHandlerRef{ref};
}

void SimHotKeyService::setHandlerEnabled(HotKeyHandlerRef handler, bool enabled) {
    if (const auto found = handlers_.find(handler.value); found != handlers_.end()) {
        found->second.enabled = enabled;
    }
}

std::optional<std::vector<SymbolicHotKey>> SimHotKeyService::symbolicHotKeys() const {
    if (symbolicFails_) return std::nullopt;
    return symbolic_;
}

bool SimHotKeyService::isHeldElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) {
    return heldElsewhere_.contains({keyCode, modifiers});
}

bool SimHotKeyService::keyDown(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                               bool isRepeat) {
    if (isRepeat) return pressed_.contains(keyCode);
    const auto id = match(keyCode, carbonModifiers);
    if (!id) return false;
    pressed_.insert_or_assign(keyCode, *id);
    deliver({HotKeyEventKind::pressed, *id});
    return true;
}

bool SimHotKeyService::keyUp(std::uint32_t keyCode) {
    const auto found = pressed_.find(keyCode);
    if (found == pressed_.end()) return false;
    const auto id = found->second;
    pressed_.erase(found);
    deliver({HotKeyEventKind::released, id});
    return true;
}

bool SimHotKeyService::intercept(const std::weak_ptr<SimHotKeyService>& service,
                                 const Event& event) {
    const auto hotKeys = service.lock();
    if (!hotKeys) return false;
    switch (event.type) {
        case EventType::keyDown:
            return hotKeys->keyDown(event.keyCode,
                                    HotKeyModifiers::fromEventFlags(event.modifierFlags),
                                    event.isARepeat);
        case EventType::keyUp:
            return hotKeys->keyUp(event.keyCode);
        default:
            return false;
    }
}

HotKeyEventResult SimHotKeyService::deliver(const HotKeyEvent& event) {
    // A handler may install or remove handlers while it runs: walk a snapshot of the refs.
    std::vector<std::uint64_t> refs;
    for (const auto& [ref, installed] : handlers_) refs.push_back(ref);
    for (const auto ref : refs) {
        const auto found = handlers_.find(ref);
        if (found == handlers_.end() || !found->second.enabled) continue;
        const auto handler = found->second.handler;
        if (handler(event) == HotKeyEventResult::handled) return HotKeyEventResult::handled;
    }
    return HotKeyEventResult::notHandled;
}

std::vector<SimHotKeyService::Registration> SimHotKeyService::registrations() const {
    std::vector<Registration> result;
    for (const auto& [ref, registration] : registrations_) result.push_back(registration);
    std::sort(result.begin(), result.end(), [](const auto& left, const auto& right) {
        return left.combination < right.combination;
    });
    return result;
}

bool SimHotKeyService::isRegistered(Combination combination) const {
    return std::any_of(registrations_.begin(), registrations_.end(),
                       [&](const auto& entry) { return entry.second.combination == combination; });
}

std::size_t SimHotKeyService::registerCount(Combination combination) const {
    return countCalls(CallKind::registered, combination);
}

std::size_t SimHotKeyService::unregisterCount(Combination combination) const {
    return countCalls(CallKind::unregistered, combination);
}

bool SimHotKeyService::isHandlerEnabled(HotKeyHandlerRef handler) const {
    const auto found = handlers_.find(handler.value);
    return found != handlers_.end() && found->second.enabled;
}

std::optional<HotKeyID> SimHotKeyService::match(std::uint32_t keyCode,
                                                std::uint32_t carbonModifiers) const {
    for (const auto& [ref, registration] : registrations_) {
        if (registration.combination == Combination{keyCode, carbonModifiers}) {
            return registration.id;
        }
    }
    return std::nullopt;
}

std::size_t SimHotKeyService::countCalls(CallKind kind, Combination combination) const {
    return static_cast<std::size_t>(std::count_if(
        calls_.begin(), calls_.end(),
        [&](const Call& call) { return call.kind == kind && call.combination == combination; }));
}

}  // namespace talvori::sim

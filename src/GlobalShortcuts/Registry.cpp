#include "GlobalShortcuts/Registry.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/HotKey.hpp"
#include "GlobalShortcuts/HotKeyCenter.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace GlobalShortcuts {

namespace {

template <class Key, class Value>
bool hasNonEmptyEntry(const std::map<Key, Value>& table, const Key& key) {
    const auto found = table.find(key);
    return found != table.end() && found->second && !found->second->empty();
}

template <class Key>
bool hasNonEmptyEntry(const std::map<Key, std::map<talvori::UUID, Registry::StreamAction>>& table,
                      const Key& key) {
    const auto found = table.find(key);
    return found != table.end() && !found->second.empty();
}

template <class Key>
void eraseStream(std::map<Key, std::map<talvori::UUID, Registry::StreamAction>>& table,
                 const Key& key, const talvori::UUID& id) {
    const auto found = table.find(key);
    if (found == table.end()) return;
    found->second.erase(id);
    if (found->second.empty()) table.erase(found);
}

template <class Table>
std::vector<Registry::StreamAction> streamActions(const Table& table) {
    std::vector<Registry::StreamAction> actions;
    actions.reserve(table.size());
    for (const auto& [id, action] : table) actions.push_back(action);
    return actions;
}

}  // namespace

Registry& Registry::shared() {
    return *talvori::platform().service<Registry>();
}

std::shared_ptr<Registry> Registry::makeShared() {
    return std::shared_ptr<Registry>(new Registry());
}

Registry* Registry::existing() {
    if (!talvori::Platform::isInstalled()) return nullptr;
    return talvori::platform().existingService<Registry>();
}

Registry::~Registry() = default;

void Registry::scheduleLibraryStart() {
    talvori::platform().runLoop().post([] {
        auto& registry = shared();
        if (registry.libraryStarted_) return;
        HotKeyCenter::shared();
        registry.libraryStarted_ = true;
    });
}

void Registry::addHandler(EventType type, const Name& name, Action action) {
    auto& table = type == EventType::keyDown ? keyDownHandlers_ : keyUpHandlers_;
    auto& list = table[name];
    // A dispatch in progress keeps the list it started with.
    auto extended = list ? std::make_shared<std::vector<Action>>(*list)
                         : std::make_shared<std::vector<Action>>();
    extended->push_back(std::move(action));
    list = std::move(extended);
    registerShortcutIfNeeded(name);
}

void Registry::removeHandler(const Name& name) {
    keyDownHandlers_.erase(name);
    keyUpHandlers_.erase(name);
    const bool hasStreams = hasNonEmptyEntry(keyDownStreamHandlers_, name) ||
                            hasNonEmptyEntry(keyUpStreamHandlers_, name);
    if (!disabledNames_.contains(name) && hasStreams) return;
    unregisterShortcut(name);
}

void Registry::removeAllHandlers() {
    std::set<Shortcut> shortcuts;
    for (const auto* table : {&keyDownHandlers_, &keyUpHandlers_}) {
        for (const auto& [name, list] : *table) {
            if (const auto shortcut = storedShortcut(name)) shortcuts.insert(*shortcut);
        }
    }
    keyDownHandlers_.clear();
    keyUpHandlers_.clear();
    for (const auto& shortcut : shortcuts) releaseIfUnused(shortcut);
}

void Registry::disable(const std::vector<Name>& names) {
    for (const auto& name : names) {
        disabledNames_.insert(name);
        unregisterShortcut(name);
    }
}

void Registry::enable(const std::vector<Name>& names) {
    for (const auto& name : names) {
        disabledNames_.erase(name);
        registerShortcutIfNeeded(name);
    }
}

void Registry::reset(const std::vector<Name>& names) {
    // A name without a default takes the removing path.
    for (const auto& name : names) setShortcut(name.initialShortcut, name);
}

void Registry::resetAll() {
    // The stored names carry no defaults, so each takes the removing path.
    for (const auto& name : storedNames()) setShortcut(std::nullopt, name);
}

void Registry::setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    if (!shortcut) {
        // Clearing a name with a default stores false, so that the default stays away.
        if (name.initialShortcut ? store_.isCleared(name) : !store_.hasStoredValue(name)) return;
    }
    unregisterShortcut(name);
    if (shortcut) {
        store_.writeShortcut(name, *shortcut);
    } else if (name.initialShortcut) {
        store_.writeCleared(name);
    } else {
        store_.remove(name);
    }
    registerShortcutIfNeeded(name);
    postChange(name);
}

std::set<Name> Registry::storedNames() const {
    talvori::platform().runLoop().assertMainThread();
    return store_.storedNames();
}

void Registry::setEnabled(bool enabled) {
    if (isEnabled_ == enabled) return;
    isEnabled_ = enabled;
    updateCenter();
}

void Registry::setPaused(bool paused) {
    if (isPaused_ == paused) return;
    isPaused_ = paused;
    updateCenter();
}

void Registry::updateCenter() {
    // The tables stay as they are: enabling again brings every hot key back.
    auto& center = HotKeyCenter::shared();
    const bool wanted = isEnabled_ && !isPaused_;
    if (center.isEnabled() != wanted) center.setEnabled(wanted);
}

bool Registry::isEnabled(const Name& name) {
    if (!isEnabled_ || !isActive(name)) return false;
    const auto shortcut = storedShortcut(name);
    return shortcut && hasHotKey(*shortcut);
}

bool Registry::isActive(const Name& name) const {
    if (disabledNames_.contains(name)) return false;
    return hasNonEmptyEntry(keyDownHandlers_, name) || hasNonEmptyEntry(keyUpHandlers_, name) ||
           hasNonEmptyEntry(keyDownStreamHandlers_, name) ||
           hasNonEmptyEntry(keyUpStreamHandlers_, name);
}

void Registry::registerShortcutIfNeeded(const Name& name) {
    if (!isActive(name)) return;
    if (const auto shortcut = storedShortcut(name)) registerShortcut(*shortcut);
}

void Registry::registerShortcut(const Shortcut& shortcut) {
    // One hot key per shortcut, however many names store it.
    if (hotKeysByShortcut_.contains(shortcut)) return;
    auto& center = HotKeyCenter::shared();
    const auto dispatch = [shortcut](EventType type) {
        return [shortcut, type] {
            if (auto* registry = existing()) registry->handle(type, shortcut);
        };
    };
    auto hotKey = std::make_shared<HotKey>(shortcut.carbonKeyCode, shortcut.carbonModifiers,
                                           center.nextHotKeyId(), dispatch(EventType::keyDown),
                                           dispatch(EventType::keyUp));
    // Refused: the hot key goes away again, and the next registration of a name storing the
    // shortcut tries anew.
    if (!center.registerHotKey(hotKey)) return;
    hotKey->onRegistrationFailed =
        talvori::weakly(std::weak_ptr<HotKey>(hotKey), [shortcut](HotKey& failed) {
            auto* registry = existing();
            if (!registry) return;
            const auto found = registry->hotKeysByShortcut_.find(shortcut);
            if (found != registry->hotKeysByShortcut_.end() && found->second.get() == &failed) {
                registry->hotKeysByShortcut_.erase(found);
            }
        });
    hotKeysByShortcut_.emplace(shortcut, std::move(hotKey));
}

bool Registry::isShortcutInUse(const Shortcut& shortcut, const std::optional<Name>& excluding) {
    talvori::platform().runLoop().assertMainThread();
    std::set<Name> names;
    for (const auto* table : {&keyDownHandlers_, &keyUpHandlers_}) {
        for (const auto& [name, list] : *table) names.insert(name);
    }
    for (const auto* table : {&keyDownStreamHandlers_, &keyUpStreamHandlers_}) {
        for (const auto& [name, streams] : *table) names.insert(name);
    }
    for (const auto& name : names) {
        if (excluding && name == *excluding) continue;
        if (isActive(name) && storedShortcut(name) == shortcut) return true;
    }
    return hasNonEmptyEntry(shortcutKeyDownStreamHandlers_, shortcut) ||
           hasNonEmptyEntry(shortcutKeyUpStreamHandlers_, shortcut);
}

void Registry::unregisterShortcut(const Name& name) {
    const auto shortcut = storedShortcut(name);
    if (shortcut && !isShortcutInUse(*shortcut, name)) dropHotKey(*shortcut);
}

void Registry::releaseIfUnused(const Shortcut& shortcut) {
    if (!isShortcutInUse(shortcut, std::nullopt)) dropHotKey(shortcut);
}

void Registry::dropHotKey(const Shortcut& shortcut) {
    const auto found = hotKeysByShortcut_.find(shortcut);
    if (found == hotKeysByShortcut_.end()) return;
    const auto hotKey = std::move(found->second);
    hotKeysByShortcut_.erase(found);
    if (auto* center = HotKeyCenter::existing()) center->unregister(*hotKey);
}

void Registry::postChange(const Name& name) const {
    talvori::platform().notificationCenter().post(kShortcutByNameDidChangeNotification, nullptr,
                                                  {{"name", name}});
}

void Registry::addStream(const Name& name, const talvori::UUID& id, StreamAction keyDown,
                         StreamAction keyUp) {
    keyDownStreamHandlers_[name].insert_or_assign(id, std::move(keyDown));
    keyUpStreamHandlers_[name].insert_or_assign(id, std::move(keyUp));
    registerShortcutIfNeeded(name);
}

void Registry::addStream(const Shortcut& shortcut, const talvori::UUID& id, StreamAction keyDown,
                         StreamAction keyUp) {
    shortcutKeyDownStreamHandlers_[shortcut].insert_or_assign(id, std::move(keyDown));
    shortcutKeyUpStreamHandlers_[shortcut].insert_or_assign(id, std::move(keyUp));
    registerShortcut(shortcut);
}

void Registry::removeStream(const Name& name, const talvori::UUID& id) {
    eraseStream(keyDownStreamHandlers_, name, id);
    eraseStream(keyUpStreamHandlers_, name, id);
    if (const auto shortcut = storedShortcut(name)) releaseIfUnused(*shortcut);
}

void Registry::removeStream(const Shortcut& shortcut, const talvori::UUID& id) {
    eraseStream(shortcutKeyDownStreamHandlers_, shortcut, id);
    eraseStream(shortcutKeyUpStreamHandlers_, shortcut, id);
    releaseIfUnused(shortcut);
}

void Registry::handle(EventType type, const Shortcut& shortcut) {
    if (isPaused_) return;
    const bool down = type == EventType::keyDown;
    // Each table is read once, now: what an action adds or removes applies from the next event.
    std::vector<std::pair<Name, ActionList>> handlers;
    for (const auto& [name, list] : down ? keyDownHandlers_ : keyUpHandlers_) {
        handlers.emplace_back(name, list);
    }
    std::vector<std::pair<Name, std::vector<StreamAction>>> nameStreams;
    for (const auto& [name, streams] : down ? keyDownStreamHandlers_ : keyUpStreamHandlers_) {
        nameStreams.emplace_back(name, streamActions(streams));
    }
    std::vector<StreamAction> shortcutStreams;
    const auto& byShortcut = down ? shortcutKeyDownStreamHandlers_ : shortcutKeyUpStreamHandlers_;
    if (const auto found = byShortcut.find(shortcut); found != byShortcut.end()) {
        shortcutStreams = streamActions(found->second);
    }

    const auto firesFor = [&](const Name& name) {
        return storedShortcut(name) == shortcut && !disabledNames_.contains(name);
    };
    for (const auto& [name, list] : handlers) {
        if (!firesFor(name)) continue;
        for (const auto& action : *list) action();
    }
    for (const auto& [name, actions] : nameStreams) {
        if (!firesFor(name)) continue;
        for (const auto& action : actions) action(shortcut);
    }
    for (const auto& action : shortcutStreams) action(shortcut);
}

}  // namespace GlobalShortcuts

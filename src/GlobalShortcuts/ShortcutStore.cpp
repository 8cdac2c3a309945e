#include "GlobalShortcuts/ShortcutStore.hpp"

#include "platform/Platform.hpp"

namespace GlobalShortcuts {

talvori::UserDefaults& ShortcutStore::defaults() {
    return talvori::platform().userDefaults();
}

void ShortcutStore::registerInitialShortcut(const Shortcut& shortcut, const std::string& rawValue) {
    const auto storeKey = key(rawValue);
    if (defaults().object(storeKey)) return;
    defaults().set(storeKey, shortcut.jsonText());
}

std::optional<Shortcut> ShortcutStore::readStoredShortcut(const std::string& storeKey) {
    // A cleared shortcut (false), a foreign value or text that is not a shortcut: none.
    const auto text = defaults().string(storeKey);
    if (!text) return std::nullopt;
    return Shortcut::fromJsonText(*text);
}

std::optional<Shortcut> ShortcutStore::storedShortcut(const Name& name) {
    auto& store = defaults();
    if (cachedStore_.lock().get() != &store) {
        cache_.clear();
        cachedStore_ = store.weak_from_this();
    }
    auto [entry, inserted] = cache_.try_emplace(name.rawValue);
    auto& cached = entry->second;
    if (inserted) {
        cached.invalidation =
            store.observe(key(name.rawValue), [&cached] { cached.isCurrent = false; });
    }
    if (!cached.isCurrent) {
        cached.shortcut = readStoredShortcut(key(name.rawValue));
        cached.isCurrent = true;
    }
    return cached.shortcut;
}

bool ShortcutStore::hasStoredValue(const Name& name) const {
    return defaults().object(key(name.rawValue)).has_value();
}

bool ShortcutStore::isCleared(const Name& name) const {
    return defaults().boolValue(key(name.rawValue)) == false;
}

void ShortcutStore::writeShortcut(const Name& name, const Shortcut& shortcut) {
    defaults().set(key(name.rawValue), shortcut.jsonText());
}

void ShortcutStore::writeCleared(const Name& name) {
    defaults().set(key(name.rawValue), false);
}

void ShortcutStore::remove(const Name& name) {
    defaults().removeObject(key(name.rawValue));
}

std::set<Name> ShortcutStore::storedNames() const {
    const std::string prefix = kKeyPrefix;
    std::set<Name> names;
    for (const auto& [storeKey, value] : defaults().dictionaryRepresentation()) {
        if (storeKey.starts_with(prefix)) {
            names.insert(Name::fromRawValue(storeKey.substr(prefix.size())));
        }
    }
    return names;
}

}  // namespace GlobalShortcuts

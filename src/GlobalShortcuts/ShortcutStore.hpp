#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/core/Observation.hpp"

namespace talvori {
class UserDefaults;
}

namespace GlobalShortcuts {

// The stored shortcut of each name, in the settings store under "GlobalShortcuts_" plus the name:
// the shortcut's compact JSON as a text value, or false for a shortcut the user cleared (only for
// names with a default, so that the default does not come back). Anything else reads as no
// shortcut and stays as it is until the next write.
class ShortcutStore {
  public:
    static constexpr const char* kKeyPrefix = "GlobalShortcuts_";

    static std::string key(const std::string& rawValue) { return kKeyPrefix + rawValue; }

    // Writes `shortcut` when nothing at all is stored under the name's key.
    static void registerInitialShortcut(const Shortcut& shortcut, const std::string& rawValue);

    // The shortcut stored for `name`. Decoded once per stored value: a change of the stored value,
    // by anyone, is seen at the next read.
    std::optional<Shortcut> storedShortcut(const Name& name);
    bool hasStoredValue(const Name& name) const;
    bool isCleared(const Name& name) const;

    void writeShortcut(const Name& name, const Shortcut& shortcut);
    void writeCleared(const Name& name);
    void remove(const Name& name);

    // Every name with something stored under its key, without defaults.
    std::set<Name> storedNames() const;

  private:
    struct CacheEntry {
        std::optional<Shortcut> shortcut;
        bool isCurrent = false;
        talvori::Registration invalidation;
    };

    static talvori::UserDefaults& defaults();
    static std::optional<Shortcut> readStoredShortcut(const std::string& key);

    // The store the cache belongs to; a test may install another one.
    std::weak_ptr<talvori::UserDefaults> cachedStore_;
    std::map<std::string, CacheEntry> cache_;
};

}  // namespace GlobalShortcuts

#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "GlobalShortcuts/EventType.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "GlobalShortcuts/ShortcutStore.hpp"
#include "platform/core/UUID.hpp"

namespace GlobalShortcuts {

class HotKey;

// The library's state, once per process: the live hot key of each shortcut in use, the disabled
// names, the handlers and event streams of each name and shortcut, and the global switches. It
// ties named shortcuts to hot keys: a hot key lives while an active name (one that is enabled and
// has a handler or stream) stores its shortcut, or a stream of the bare shortcut is open.
// Everything runs on the main thread.
class Registry {
  public:
    using Action = std::function<void()>;
    // Stream actions learn which shortcut fired.
    using StreamAction = std::function<void(const Shortcut& fired)>;

    // Made on first use, kept for the life of the platform, which owns it.
    static Registry& shared();
    static std::shared_ptr<Registry> makeShared();
    // The shared registry if it was made (and is not going away).
    static Registry* existing();
    // Queues the start of the library (the making of the hot-key centre) for a later turn.
    static void scheduleLibraryStart();

    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    ~Registry();

    void addHandler(EventType type, const Name& name, Action action);
    void removeHandler(const Name& name);
    void removeAllHandlers();
    void disable(const std::vector<Name>& names);
    void enable(const std::vector<Name>& names);
    void reset(const std::vector<Name>& names);
    void resetAll();
    void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
    std::optional<Shortcut> storedShortcut(const Name& name) { return store_.storedShortcut(name); }
    std::set<Name> storedNames() const;

    bool isEnabled() const { return isEnabled_; }
    void setEnabled(bool enabled);
    bool isPaused() const { return isPaused_; }
    void setPaused(bool paused);
    bool isEnabled(const Name& name);

    bool isActive(const Name& name) const;
    bool hasHotKey(const Shortcut& shortcut) const { return hotKeysByShortcut_.contains(shortcut); }

    // Event streams: one key-down and one key-up action per open stream.
    void addStream(const Name& name, const talvori::UUID& id, StreamAction keyDown,
                   StreamAction keyUp);
    void addStream(const Shortcut& shortcut, const talvori::UUID& id, StreamAction keyDown,
                   StreamAction keyUp);
    void removeStream(const Name& name, const talvori::UUID& id);
    void removeStream(const Shortcut& shortcut, const talvori::UUID& id);

    // Calls what is registered for `shortcut` and `type`: the handlers and streams of every
    // enabled name storing it, then the streams of the bare shortcut. Nothing while paused.
    void handle(EventType type, const Shortcut& shortcut);

  private:
    using ActionList = std::shared_ptr<const std::vector<Action>>;
    using StreamTable = std::map<talvori::UUID, StreamAction>;

    Registry() = default;

    void registerShortcutIfNeeded(const Name& name);
    void registerShortcut(const Shortcut& shortcut);
    bool isShortcutInUse(const Shortcut& shortcut, const std::optional<Name>& excluding);
    // Drops the hot key of the name's stored shortcut unless something else still needs it.
    void unregisterShortcut(const Name& name);
    void releaseIfUnused(const Shortcut& shortcut);
    // Removes the shortcut's hot key and frees its combination now, so that it can be registered
    // again at once, even while its own press is being dispatched.
    void dropHotKey(const Shortcut& shortcut);
    void updateCenter();
    void postChange(const Name& name) const;

    bool isEnabled_ = true;
    bool isPaused_ = false;
    bool libraryStarted_ = false;
    ShortcutStore store_;
    std::map<Shortcut, std::shared_ptr<HotKey>> hotKeysByShortcut_;
    std::set<Name> disabledNames_;
    std::map<Name, ActionList> keyDownHandlers_;
    std::map<Name, ActionList> keyUpHandlers_;
    std::map<Name, StreamTable> keyDownStreamHandlers_;
    std::map<Name, StreamTable> keyUpStreamHandlers_;
    std::map<Shortcut, StreamTable> shortcutKeyDownStreamHandlers_;
    std::map<Shortcut, StreamTable> shortcutKeyUpStreamHandlers_;
};

}  // namespace GlobalShortcuts

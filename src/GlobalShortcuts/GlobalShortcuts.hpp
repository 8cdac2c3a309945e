#pragma once

#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "GlobalShortcuts/EventType.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"

// Named global shortcuts: each name stores its shortcut in the settings store, and while it has
// handlers (and is not disabled) its shortcut is registered with the system as a hot key that
// calls them from anywhere. All on the main thread.
namespace GlobalShortcuts {

// Posted with the Name under "name" whenever a name's stored shortcut is set, cleared or reset.
inline constexpr const char* kShortcutByNameDidChangeNotification =
    "GlobalShortcuts_shortcutByNameDidChange";

// Posted by a recorder with a Bool under "isActive" when it starts or stops recording.
inline constexpr const char* kRecorderActiveStatusDidChangeNotification =
    "GlobalShortcuts_recorderActiveStatusDidChange";
// The "isActive" entry of a notification's user info when it is a Bool; false otherwise.
bool isActive(const talvori::Notification& notification);

// Adds an action for presses (releases) of the name's shortcut, in the order added.
void onKeyDown(const Name& name, std::function<void()> action);
void onKeyUp(const Name& name, std::function<void()> action);
// Removes the name's key-down and key-up actions; its event streams stay.
void removeHandler(const Name& name);
void removeAllHandlers();

// A disabled name keeps its handlers and shortcut but fires nothing and holds no hot key.
void disable(const std::vector<Name>& names);
void enable(const std::vector<Name>& names);

// Stores each name's default again (even over a cleared one), or removes a name's stored value
// when it has no default. One change notification per name that changed.
void reset(const std::vector<Name>& names);
// Removes every stored shortcut; names with defaults have none until they are made again.
void resetAll();

// Stores `shortcut` for `name`; without one, clears it (a name with a default stores false so
// that the default stays away; a name without one loses its stored value).
void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
std::optional<Shortcut> getShortcut(const Name& name);

// The global switch of all hot keys (the application's recorder turns it off while recording).
bool isEnabled();
void setEnabled(bool enabled);
// Whether `name` fires now: hot keys on, the name active, its shortcut stored and registered.
bool isEnabled(const Name& name);
// Pauses dispatch while the library's own recorder records.
bool isPaused();
void setPaused(bool paused);

// Every name with something stored, without defaults.
std::set<Name> storedNames();

}  // namespace GlobalShortcuts

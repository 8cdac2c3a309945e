#include "GlobalShortcuts/GlobalShortcuts.hpp"

#include "GlobalShortcuts/Registry.hpp"
#include "platform/Platform.hpp"

namespace GlobalShortcuts {

namespace {

Registry& registry(const char* caller) {
    talvori::platform().runLoop().assertMainThread(caller);
    return Registry::shared();
}

}  // namespace

bool isActive(const talvori::Notification& notification) {
    return notification.value<bool>("isActive").value_or(false);
}

void onKeyDown(const Name& name, std::function<void()> action) {
    registry("GlobalShortcuts.onKeyDown").addHandler(EventType::keyDown, name, std::move(action));
}

void onKeyUp(const Name& name, std::function<void()> action) {
    registry("GlobalShortcuts.onKeyUp").addHandler(EventType::keyUp, name, std::move(action));
}

void removeHandler(const Name& name) {
    registry("GlobalShortcuts.removeHandler").removeHandler(name);
}

void removeAllHandlers() {
    registry("GlobalShortcuts.removeAllHandlers").removeAllHandlers();
}

void disable(const std::vector<Name>& names) {
    registry("GlobalShortcuts.disable").disable(names);
}

void enable(const std::vector<Name>& names) {
    registry("GlobalShortcuts.enable").enable(names);
}

void reset(const std::vector<Name>& names) {
    registry("GlobalShortcuts.reset").reset(names);
}

void resetAll() {
    registry("GlobalShortcuts.resetAll").resetAll();
}

void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    registry("GlobalShortcuts.setShortcut").setShortcut(shortcut, name);
}

std::optional<Shortcut> getShortcut(const Name& name) {
    return registry("GlobalShortcuts.getShortcut").storedShortcut(name);
}

bool isEnabled() {
    return registry("GlobalShortcuts.isEnabled").isEnabled();
}

void setEnabled(bool enabled) {
    registry("GlobalShortcuts.setEnabled").setEnabled(enabled);
}

bool isEnabled(const Name& name) {
    return registry("GlobalShortcuts.isEnabled").isEnabled(name);
}

bool isPaused() {
    return registry("GlobalShortcuts.isPaused").isPaused();
}

void setPaused(bool paused) {
    registry("GlobalShortcuts.setPaused").setPaused(paused);
}

std::set<Name> storedNames() {
    return registry("GlobalShortcuts.storedNames").storedNames();
}

}  // namespace GlobalShortcuts

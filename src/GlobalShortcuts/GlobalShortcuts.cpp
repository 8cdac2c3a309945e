#include "GlobalShortcuts/GlobalShortcuts.hpp"

#include "GlobalShortcuts/Registry.hpp"
#include "platform/Platform.hpp"

namespace GlobalShortcuts {

bool isActive(const talvori::Notification& notification) {
    return notification.value<bool>("isActive").value_or(false);
}

void onKeyDown(const Name& name, std::function<void()> action) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().addHandler(EventType::keyDown, name, std::move(action));
}

void onKeyUp(const Name& name, std::function<void()> action) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().addHandler(EventType::keyUp, name, std::move(action));
}

void removeHandler(const Name& name) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().removeHandler(name);
}

void removeAllHandlers() {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().removeAllHandlers();
}

void disable(const std::vector<Name>& names) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().disable(names);
}

void enable(const std::vector<Name>& names) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().enable(names);
}

void reset(const std::vector<Name>& names) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().reset(names);
}

void resetAll() {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().resetAll();
}

void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().setShortcut(shortcut, name);
}

std::optional<Shortcut> getShortcut(const Name& name) {
    talvori::platform().runLoop().assertMainThread();
    return Registry::shared().storedShortcut(name);
}

bool isEnabled() {
    talvori::platform().runLoop().assertMainThread();
    return Registry::shared().isEnabled();
}

void setEnabled(bool enabled) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().setEnabled(enabled);
}

bool isEnabled(const Name& name) {
    talvori::platform().runLoop().assertMainThread();
    return Registry::shared().isEnabled(name);
}

bool isPaused() {
    talvori::platform().runLoop().assertMainThread();
    return Registry::shared().isPaused();
}

void setPaused(bool paused) {
    talvori::platform().runLoop().assertMainThread();
    Registry::shared().setPaused(paused);
}

std::set<Name> storedNames() {
    talvori::platform().runLoop().assertMainThread();
    return Registry::shared().storedNames();
}

}  // namespace GlobalShortcuts

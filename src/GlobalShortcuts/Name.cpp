#include "GlobalShortcuts/Name.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Registry.hpp"
#include "GlobalShortcuts/ShortcutStore.hpp"
#include "platform/Platform.hpp"

namespace GlobalShortcuts {

Name::Name(std::string rawValue, std::optional<Shortcut> initialShortcut)
    : rawValue(std::move(rawValue)), initialShortcut(std::move(initialShortcut)) {
    talvori::platform().runLoop().assertMainThread();
    if (this->initialShortcut) {
        ShortcutStore::registerInitialShortcut(*this->initialShortcut, this->rawValue);
    }
    Registry::scheduleLibraryStart();
}

Name Name::fromRawValue(std::string rawValue) {
    return Name(Raw{}, std::move(rawValue));
}

std::optional<Shortcut> Name::shortcut() const {
    return getShortcut(*this);
}

void Name::setShortcut(const std::optional<Shortcut>& shortcut) const {
    GlobalShortcuts::setShortcut(shortcut, *this);
}

std::optional<Name> shortcutName(const talvori::Notification& notification) {
    return notification.value<Name>("name");
}

}  // namespace GlobalShortcuts

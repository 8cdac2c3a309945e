#include "GlobalShortcuts/MenuItemShortcut.hpp"

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/SpecialKey.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/MenuItem.hpp"

namespace GlobalShortcuts {

namespace {

using talvori::MenuItem;

// Only its address matters: the key under which this code keeps its state on a menu item.
struct ObjectAssociationKey {};
const ObjectAssociationKey observerKey{};
const ObjectAssociationKey fallbackKey{};

// The key equivalent an item had before it was first bound to a name.
struct FallbackShortcut {
    std::string keyEquivalent;
    std::uint64_t modifierMask = 0;
};

// What the change observer holds instead of the item, which it must not keep alive.
struct WeakMenuItem {
    std::weak_ptr<MenuItem> value;
};

std::string menuKeyEquivalent(const Shortcut& shortcut) {
    // A special key's own menu character; keypad keys have none and show no key.
    if (const auto special = SpecialKeys::forKeyCode(shortcut.carbonKeyCode)) {
        return SpecialKeys::keyEquivalent(*special).value_or("");
    }
    return shortcut.keyToCharacter().value_or("");
}

void show(MenuItem& item, const std::optional<Shortcut>& shortcut) {
    if (shortcut) {
        item.setKeyEquivalent(menuKeyEquivalent(*shortcut));
        item.setKeyEquivalentModifierMask(CarbonModifiers::toFlags(shortcut->carbonModifiers));
        // The key is the one the shortcut names: the desktop must not move it elsewhere.
        item.setAllowsAutomaticKeyEquivalentLocalization(false);
        return;
    }
    const auto fallback =
        std::static_pointer_cast<FallbackShortcut>(item.associatedObject(&fallbackKey));
    item.setKeyEquivalent(fallback ? fallback->keyEquivalent : std::string());
    item.setKeyEquivalentModifierMask(fallback ? fallback->modifierMask : 0);
    item.setAllowsAutomaticKeyEquivalentLocalization(true);
}

void removeObserver(MenuItem& item) {
    item.setAssociatedObject(&observerKey, nullptr);
}

}  // namespace

void setShortcutFor(const std::shared_ptr<MenuItem>& item, const std::optional<Name>& name) {
    talvori::platform().runLoop().assertMainThread();
    if (!name) {
        show(*item, std::nullopt);
        item->setAssociatedObject(&fallbackKey, nullptr);
        removeObserver(*item);
        return;
    }
    if (item->associatedObject(&observerKey)) {
        // Bound before: the item's own key equivalent was kept then.
        removeObserver(*item);
    } else {
        item->setAssociatedObject(&fallbackKey,
                                  std::make_shared<FallbackShortcut>(FallbackShortcut{
                                      item->keyEquivalent(), item->keyEquivalentModifierMask()}));
    }
    show(*item, getShortcut(*name));
    const auto box = std::make_shared<WeakMenuItem>(WeakMenuItem{item});
    auto token = talvori::platform().notificationCenter().addObserver(
        kShortcutByNameDidChangeNotification, nullptr, talvori::NotificationDelivery::mainQueue,
        [name = *name, box](const talvori::Notification& notification) {
            const auto changed = shortcutName(notification);
            if (!changed || changed->rawValue != name.rawValue) return;
            if (const auto item = box->value.lock()) show(*item, getShortcut(name));
        });
    item->setAssociatedObject(&observerKey,
                              std::make_shared<talvori::Registration>(std::move(token)));
}

void setShortcut(const std::shared_ptr<MenuItem>& item, const std::optional<Shortcut>& shortcut) {
    talvori::platform().runLoop().assertMainThread();
    removeObserver(*item);
    item->setAssociatedObject(&fallbackKey, nullptr);
    show(*item, shortcut);
}

}  // namespace GlobalShortcuts

#pragma once

#include <memory>
#include <optional>

#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"

namespace talvori {
class MenuItem;
}

namespace GlobalShortcuts {

// A menu item's key equivalent kept to a name's shortcut: binding shows the name's shortcut on the
// item and follows every change of it; when the name has none, the item's own key equivalent (the
// one it had when first bound) comes back. `name` none unbinds the item.
void setShortcutFor(const std::shared_ptr<talvori::MenuItem>& item,
                    const std::optional<Name>& name);

// Shows a fixed shortcut (or none) on the item, ending any binding and forgetting the item's own
// key equivalent.
void setShortcut(const std::shared_ptr<talvori::MenuItem>& item,
                 const std::optional<Shortcut>& shortcut);

}  // namespace GlobalShortcuts

#include "session/PreRuntimeShortcutGate.hpp"

#include "session/GlobalShortcutsHandler.hpp"
#include "session/ShortcutNames.hpp"

namespace talvori {

PreRuntimeShortcutGate::PreRuntimeShortcutGate(
    std::shared_ptr<GlobalShortcutHandling> shortcutHandler)
    : shortcutHandler_(shortcutHandler ? std::move(shortcutHandler)
                                       : std::make_shared<GlobalShortcutsHandler>()) {}

void PreRuntimeShortcutGate::suppressShortcuts() const {
    auto names = ShortcutNames::globalShortcutNames();
    const auto& focus = ShortcutNames::focusShortcutNames();
    names.insert(names.end(), focus.begin(), focus.end());
    shortcutHandler_->disable(names);
}

}  // namespace talvori

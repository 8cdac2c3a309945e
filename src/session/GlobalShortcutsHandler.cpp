#include "session/GlobalShortcutsHandler.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"

namespace talvori {

void GlobalShortcutsHandler::onKeyDown(const GlobalShortcuts::Name& name,
                                       std::function<void()> action) {
    GlobalShortcuts::onKeyDown(name, std::move(action));
}

void GlobalShortcutsHandler::enable(const std::vector<GlobalShortcuts::Name>& names) {
    GlobalShortcuts::enable(names);
}

void GlobalShortcutsHandler::disable(const std::vector<GlobalShortcuts::Name>& names) {
    GlobalShortcuts::disable(names);
}

void GlobalShortcutsHandler::removeHandler(const GlobalShortcuts::Name& name) {
    GlobalShortcuts::removeHandler(name);
}

}  // namespace talvori

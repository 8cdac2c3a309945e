#pragma once

#include <functional>
#include <vector>

#include "GlobalShortcuts/Name.hpp"

namespace talvori {

// How the runtime and the first-run flow reach the hot-key library, so that tests can stand in
// for it. Main thread only.
class GlobalShortcutHandling {
  public:
    virtual ~GlobalShortcutHandling() = default;

    // Runs `action` whenever the name's shortcut is pressed.
    virtual void onKeyDown(const GlobalShortcuts::Name& name, std::function<void()> action) = 0;
    // Registers the names' hot keys with the system.
    virtual void enable(const std::vector<GlobalShortcuts::Name>& names) = 0;
    // Releases them; their stored shortcuts and actions stay.
    virtual void disable(const std::vector<GlobalShortcuts::Name>& names) = 0;
    // Forgets the name's actions.
    virtual void removeHandler(const GlobalShortcuts::Name& name) = 0;
};

}  // namespace talvori

#pragma once

#include "session/GlobalShortcutHandling.hpp"

namespace talvori {

// The hot-key library itself, behind GlobalShortcutHandling.
class GlobalShortcutsHandler final : public GlobalShortcutHandling {
  public:
    void onKeyDown(const GlobalShortcuts::Name& name, std::function<void()> action) override;
    void enable(const std::vector<GlobalShortcuts::Name>& names) override;
    void disable(const std::vector<GlobalShortcuts::Name>& names) override;
    void removeHandler(const GlobalShortcuts::Name& name) override;
};

}  // namespace talvori

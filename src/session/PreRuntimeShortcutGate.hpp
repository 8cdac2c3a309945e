#pragma once

#include <memory>

#include "session/GlobalShortcutHandling.hpp"

namespace talvori {

// Keeps all seven global shortcuts off while the first-run flow runs, before any runtime exists
// to answer them; the runtime turns the global three back on when it starts.
class PreRuntimeShortcutGate {
  public:
    // By default the hot-key library itself.
    explicit PreRuntimeShortcutGate(std::shared_ptr<GlobalShortcutHandling> shortcutHandler = {});

    // Disables the three global names, then the four Focus names.
    void suppressShortcuts() const;

  private:
    std::shared_ptr<GlobalShortcutHandling> shortcutHandler_;
};

}  // namespace talvori

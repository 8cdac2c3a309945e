#pragma once

#include <functional>
#include <optional>

#include "onboarding/WelcomeShortcutChip.hpp"
#include "platform/core/Registration.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// The first page of the first-run window: what the product does, and the Focus and cover
// shortcuts as they are set now. While the page shows, pressing either lights its chip for a
// moment and reveals that it works once setup is done; the press goes no further, since the
// global shortcuts are off until then. Every other key passes untouched.
struct WelcomeStep {
    static constexpr double kTriedDuration = 2.4;

    std::function<void()> onNext;

    struct State {
        // The chip whose shortcut was pressed last, for kTriedDuration after the press.
        Observable<std::optional<WelcomeShortcutChip>> tried;
        // The key-down monitor, exactly while the page is on screen.
        Registration keyMonitor;
        TaskSlot resetTask;
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui

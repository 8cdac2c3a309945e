#pragma once

#include <functional>
#include <vector>

#include "GlobalShortcuts/Name.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// The settings' second tab: a recorder field for each of the seven global shortcuts, in two
// sections, and "Restore Defaults", shown only while some shortcut differs from its default.
// After every change made here the Focus shortcuts are switched on or off again.
struct ShortcutsSettingsTab {
    static constexpr const char* kRestoreDefaultsTitle = "Restore Defaults";
    static constexpr const char* kFootnote =
        "Click a field to record a new shortcut, or \u00D7 to clear it.";
    static constexpr double kRestoreFade = 0.15;

    // After "Restore Defaults", and after every change made in a field.
    std::function<void()> onFocusStrengthChange;

    struct State {
        bool isPrepared = false;
        // Every one of the seven shortcuts equals its default.
        Observable<bool> usesDefaults{true};
        Registration shortcutChanges;
    };

    View body(ViewContext<State>& ctx) const;

    // The three global names, then the four Focus names.
    static std::vector<GlobalShortcuts::Name> allShortcutNames();
    // A name with neither a stored shortcut nor a default counts as at its default.
    static bool allShortcutsAreDefaults();
    void restoreDefaults() const;

  private:
    View row(const char* title, const char* subtitle, const GlobalShortcuts::Name& name) const;
    View footer(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui

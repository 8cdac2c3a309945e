#pragma once

#include <memory>
#include <string>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori {
class Bundle;
class CheckForUpdatesViewModel;
namespace updates {
class Updater;
}
}  // namespace talvori

namespace talvori::ui {

// The settings' first tab: launch at login, automatic update checks and a manual check (or, in a
// build without an update key, word of where its updates come from) and the running version.
struct GeneralSettingsTab {
    static constexpr const char* kLaunchAtLoginKey = "launchAtLogin";
    static constexpr const char* kCheckForUpdatesTitle = "Check for Updates\u2026";
    // A build without an update key is updated by whatever installed it: a package manager brings
    // new versions with the system's other updates, a copy built from source by a newer build.
    static constexpr const char* kUpdatedWhereInstalledTitle = "Updated Where You Installed It";
    static constexpr const char* kUpdatedWhereInstalledSubtitle =
        "New versions come from where you installed Talvori: your package manager, or a newer "
        "build of your own.";
    // The switches' identifiers.
    static constexpr const char* kLaunchAtLoginSwitch = "GeneralSettingsTab.launchAtLogin";
    static constexpr const char* kAutomaticChecksSwitch = "GeneralSettingsTab.automaticChecks";

    // None in a build without an update key.
    std::shared_ptr<updates::Updater> updater;

    struct State {
        bool isPrepared = false;
        // The stored "launchAtLogin", followed while the tab lives; the login item's real state
        // is never read for it.
        Observable<bool> launchAtLogin{false};
        Registration storedLaunchAtLogin;
        std::shared_ptr<CheckForUpdatesViewModel> checkForUpdates;
        // Read from the updater once, when the tab is made.
        Observable<bool> automaticallyChecksForUpdates{false};
    };

    View body(ViewContext<State>& ctx) const;

    // Registers or unregisters the program as a login item. On failure the stored setting takes
    // the item's real state, silently; when that undoes the user's choice, the switch's change
    // handler runs once more with it.
    static void setLaunchAtLogin(bool value);
    // "Talvori 1.2.4 (10204)", with "?" for a value the bundle lacks.
    static std::string versionLine(const Bundle& bundle);

  private:
    void prepare(ViewContext<State>& ctx) const;
    View updatesRow(State& state) const;
    View checkButton(State& state) const;
};

}  // namespace talvori::ui

#include "settings/UpdateStartup.hpp"

#include "platform/Platform.hpp"
#include "reminder/UpdateReminder.hpp"
#include "settings/TalvoriUserDriver.hpp"
#include "ui/AlertView.hpp"
#include "updates/Updater.hpp"

namespace talvori {

namespace {

updates::HostBundle hostBundle() {
    const Bundle& bundle = platform().mainBundle();
    return {bundle.string(Bundle::kNameKey).value_or("Talvori"),
            UpdateReminder::bundleBuild(bundle),
            UpdateReminder::bundleShortVersion(bundle),
            bundle.string(Bundle::kFeedURLKey).value_or(""),
            bundle.string(Bundle::kPublicKeyKey).value_or(""),
            ""};
}

void recordLaunch(UpdateReminder& reminder) {
    reminder.recordLaunch(
        platform().userDefaults().boolValue("hasCompletedOnboarding").value_or(false));
}

}  // namespace

UpdateStartup UpdateStartup::start() {
    // The driver's network alert needs the view layer's look; keep one the program chose itself.
    if (platform().hasDesktop() && !platform().alerts().hasContentMaker()) {
        ui::AlertView::install(platform().alerts());
    }
    const auto& reminder = UpdateReminder::shared();
    UpdateStartup startup;
    const auto host = hostBundle();
    if (host.publicKey.empty()) {
        // A distribution's build or one from source: its package manager or a newer build brings
        // new versions, and an update offered by an earlier build of ours could not be installed
        // by this one.
        platform().logger("Updates").info(
            "This build has no update key: updates come from where it was installed (the package "
            "manager, or a newer build)");
        reminder->setPendingUpdate(std::nullopt);
        recordLaunch(*reminder);
        return startup;
    }
    startup.driver = std::make_shared<TalvoriUserDriver>(host, reminder);
    startup.updater = updates::Updater::make(host, startup.driver, reminder);
    startup.driver->updater = startup.updater;
    updates::UpdateError error;
    if (!startup.updater->start(&error)) {
        platform().logger("Updates").error("Sparkle failed to start: %{public}s",
                                           error.localizedDescription);
    }
    reminder->updater = startup.updater;
    recordLaunch(*reminder);
    return startup;
}

}  // namespace talvori

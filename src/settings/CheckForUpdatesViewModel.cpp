#include "settings/CheckForUpdatesViewModel.hpp"

#include "platform/core/weakly.hpp"
#include "updates/Updater.hpp"

namespace talvori {

CheckForUpdatesViewModel::CheckForUpdatesViewModel(
    const std::shared_ptr<updates::Updater>& updater) {
    if (!updater) return;
    const std::weak_ptr<updates::Updater> weak = updater;
    canCheckForUpdates.set(updater->canCheckForUpdates().peek());
    // The token is this model's own: the observation ends with it.
    subscription_ =
        updater->canCheckForUpdates().observe(weakly(weak, [this](updates::Updater& changed) {
            canCheckForUpdates.set(changed.canCheckForUpdates().peek());
        }));
}

}  // namespace talvori

#pragma once

#include <memory>

#include "platform/core/Observation.hpp"

namespace talvori {

namespace updates {
class Updater;
}

// Whether a manual update check may start now, as the updater says, for the settings' button:
// false until the updater's first answer (and for good without an updater), then following every
// change for as long as the model lives.
class CheckForUpdatesViewModel {
  public:
    explicit CheckForUpdatesViewModel(const std::shared_ptr<updates::Updater>& updater);
    CheckForUpdatesViewModel(const CheckForUpdatesViewModel&) = delete;
    CheckForUpdatesViewModel& operator=(const CheckForUpdatesViewModel&) = delete;

    Observable<bool> canCheckForUpdates{false};

  private:
    Registration subscription_;
};

}  // namespace talvori

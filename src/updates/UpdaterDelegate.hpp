#pragma once

#include "updates/AppcastItem.hpp"
#include "updates/UserUpdateChoice.hpp"
#include "updates/UserUpdateState.hpp"

namespace talvori::updates {

class Updater;

// The program's say in the updater's work; every answer has a default.
class UpdaterDelegate {
  public:
    virtual ~UpdaterDelegate() = default;

    virtual void userDidMakeChoice(Updater& updater, UserUpdateChoice choice,
                                   const AppcastItem& item, const UserUpdateState& state) {
        (void)updater, (void)choice, (void)item, (void)state;
    }
};

}  // namespace talvori::updates

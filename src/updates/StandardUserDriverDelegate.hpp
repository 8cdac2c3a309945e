#pragma once

#include "updates/AppcastItem.hpp"
#include "updates/UserUpdateState.hpp"

namespace talvori::updates {

// Lets the program show updates found by scheduled checks its own, gentler way.
class StandardUserDriverDelegate {
  public:
    virtual ~StandardUserDriverDelegate() = default;

    virtual bool supportsGentleScheduledUpdateReminders() { return false; }
    // Asked before an update found by a scheduled check is shown; false keeps the update window
    // closed. `immediateFocus`: whether the program is in front.
    virtual bool standardUserDriverShouldHandleShowingScheduledUpdate(const AppcastItem& item,
                                                                      bool immediateFocus) {
        (void)item, (void)immediateFocus;
        return true;
    }
    // Told before any found update is shown, or not shown (`handleShowingUpdate` false).
    virtual void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                           const AppcastItem& item,
                                                           const UserUpdateState& state) {
        (void)handleShowingUpdate, (void)item, (void)state;
    }
};

}  // namespace talvori::updates

#pragma once

#include <optional>
#include <vector>

#include "platform/core/Registration.hpp"
#include "platform/desktop/WindowInfo.hpp"
#include "platform/desktop/WindowListOption.hpp"

namespace talvori {

// The window server's list of every process's windows, ours included; window numbers share one
// namespace with our panels' windowNumber().
class WindowList {
  public:
    virtual ~WindowList() = default;

    // Front to back: higher levels first, then stacking order within a level. Absent when the
    // window server gives no list. Without `onScreenOnly`, windows ordered out follow at the end.
    virtual std::optional<std::vector<WindowInfo>> copyWindowInfo(unsigned options) const = 0;
    // The caller looks at the list again in `seconds` and needs no news of other programs'
    // windows before then: a window server that tells of them in bursts may hand them over in
    // one go. A switch of the active window and the user's input still come at once, as long as
    // `hearSwitches` is kept; without it nothing is gathered.
    virtual void gatherChanges(double seconds) { (void)seconds; }
    // Whatever the window server needs to tell a switch or the user's input during a gathering is
    // set up once, for as long as the registration is kept, rather than at every switch.
    virtual Registration hearSwitches() { return {}; }
};

}  // namespace talvori

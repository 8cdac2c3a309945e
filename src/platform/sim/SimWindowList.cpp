#include "platform/sim/SimWindowList.hpp"

#include "platform/desktop/Screens.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

std::optional<std::vector<WindowInfo>> SimWindowList::copyWindowInfo(unsigned options) const {
    ++reads_;
    if (options == WindowListOption::onScreenOnly && !granted_) ++grantRequests_;
    if (failing_) return std::nullopt;

    std::vector<const SimWindow*> windows;
    for (std::uint32_t number : world_->stack()) windows.push_back(world_->window(number));
    if ((options & WindowListOption::onScreenOnly) == 0) {
        for (std::uint32_t number : world_->offScreenWindows()) {
            windows.push_back(world_->window(number));
        }
    }

    const double height = world_->primaryHeight();
    std::vector<WindowInfo> list;
    list.reserve(windows.size());
    for (const SimWindow* window : windows) {
        if ((options & WindowListOption::excludeDesktopElements) && window->isDesktopElement) {
            continue;
        }
        const SimProcess* owner = world_->process(window->ownerPID);
        WindowInfo info;
        info.number = window->number;
        info.ownerPID = window->ownerPID;
        if (owner) info.ownerName = owner->localizedName;
        info.layer = window->level;
        info.alpha = world_->alphaOf(*window);
        info.bounds = Screens::flipped(world_->frameOf(*window), height);
        if (granted_ || window->ownerPID == SimWorld::kOwnPID) info.name = world_->titleOf(*window);
        info.isOnScreen = window->isOnScreen;
        if (window->editListEntry) window->editListEntry(info);
        list.push_back(std::move(info));
    }
    return list;
}

}  // namespace talvori::sim

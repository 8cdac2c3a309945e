#include "platform/sim/SimScreens.hpp"

#include "platform/sim/SimPanel.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

std::vector<Screen> SimScreens::screens() const {
    return world_->screens();
}

std::optional<Screen> SimScreens::mainScreen() const {
    if (auto key = world_->keyPanel()) {
        if (auto screen = key->screen()) return screen;
    }
    const auto& all = world_->screens();
    if (all.empty()) return std::nullopt;
    return all.front();
}

}  // namespace talvori::sim

#pragma once

#include <memory>

#include "platform/desktop/Screens.hpp"

namespace talvori::sim {

class SimWorld;

// The simulated displays; SimWorld::setScreens changes them.
class SimScreens final : public Screens {
  public:
    explicit SimScreens(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    std::vector<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;

  private:
    std::shared_ptr<SimWorld> world_;
};

}  // namespace talvori::sim

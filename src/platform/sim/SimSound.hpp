#pragma once

#include <memory>
#include <vector>

#include "platform/desktop/Sound.hpp"

namespace talvori::sim {

class SimWorld;

// Records when the program beeped.
class SimSound final : public Sound {
  public:
    explicit SimSound(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    void beep() override;
    // The virtual times of the beeps, in order.
    const std::vector<double>& beeps() const { return beeps_; }

  private:
    std::shared_ptr<SimWorld> world_;
    std::vector<double> beeps_;
};

}  // namespace talvori::sim

#include "platform/sim/SimSound.hpp"

#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

void SimSound::beep() {
    beeps_.push_back(world_->now());
    world_->log("beep");
}

}  // namespace talvori::sim

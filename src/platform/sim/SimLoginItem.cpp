#include "platform/sim/SimLoginItem.hpp"

#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

std::optional<std::string> SimLoginItem::registerItem() {
    ++registers_;
    world_->log(failure_ ? "login item register failed" : "login item registered");
    if (failure_) return failure_;
    status_ = Status::enabled;
    return std::nullopt;
}

std::optional<std::string> SimLoginItem::unregisterItem() {
    ++unregisters_;
    world_->log(failure_ ? "login item unregister failed" : "login item unregistered");
    if (failure_) return failure_;
    status_ = Status::notRegistered;
    return std::nullopt;
}

}  // namespace talvori::sim

#include "platform/sim/SimColorSampler.hpp"

#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

void SimColorSampler::begin(std::function<void(std::optional<Color>)> handler) {
    // A sampler already running is answered with a cancel before the new one starts.
    if (handler_) resolve(std::nullopt);
    handler_ = std::move(handler);
    ++sessions_;
    world_->log("color sampler begins");
}

void SimColorSampler::pick(Color color) {
    resolve(color);
}

void SimColorSampler::cancel() {
    resolve(std::nullopt);
}

void SimColorSampler::resolve(std::optional<Color> color) {
    auto handler = std::exchange(handler_, nullptr);
    if (!handler) return;
    world_->log(color ? "color sampler picked" : "color sampler cancelled");
    world_->loop().post([handler = std::move(handler), color] { handler(color); });
}

}  // namespace talvori::sim

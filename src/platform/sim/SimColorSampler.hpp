#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/desktop/ColorSampler.hpp"

namespace talvori::sim {

class SimWorld;

// A colour sampler the test answers: it stays pending until the test picks a colour or cancels.
class SimColorSampler final : public ColorSampler {
  public:
    explicit SimColorSampler(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    void begin(std::function<void(std::optional<Color>)> handler) override;

    bool isSampling() const { return handler_ != nullptr; }
    int sessionCount() const { return sessions_; }
    // The user picks `color` (on the next turn the handler gets it).
    void pick(Color color);
    // The user presses Escape.
    void cancel();

  private:
    void resolve(std::optional<Color> color);

    std::shared_ptr<SimWorld> world_;
    std::function<void(std::optional<Color>)> handler_;
    int sessions_ = 0;
};

}  // namespace talvori::sim

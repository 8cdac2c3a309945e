#pragma once

#include <memory>

#include "platform/desktop/ColorSampler.hpp"

namespace talvori {
class RunLoop;
}

namespace talvori::x11 {

// Picking a colour on screen is not available on X11 yet: the handler hears "cancelled".
class X11ColorSampler final : public ColorSampler {
  public:
    explicit X11ColorSampler(std::weak_ptr<RunLoop> loop) : loop_(std::move(loop)) {}
    void begin(std::function<void(std::optional<Color>)> handler) override;

  private:
    std::weak_ptr<RunLoop> loop_;
};

}  // namespace talvori::x11

#pragma once

#include <functional>
#include <optional>

#include "platform/desktop/Color.hpp"

namespace talvori {

// Lets the user pick a colour anywhere on screen. Modal while it runs.
class ColorSampler {
  public:
    virtual ~ColorSampler() = default;

    // Calls `handler` exactly once on the main loop: with the picked colour, or nothing when the
    // user cancelled (Escape).
    virtual void begin(std::function<void(std::optional<Color>)> handler) = 0;
};

}  // namespace talvori

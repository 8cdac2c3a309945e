#pragma once

#include "platform/core/UUID.hpp"

namespace talvori {

// A screen-colour sampling that the control panel runs for one cover. While it runs the panel
// stays where it is; the appearance section hands `token` back when the sampler answers.
struct ColorSamplingSession {
    UUID token;
    UUID overlayID;

    bool operator==(const ColorSamplingSession&) const = default;
};

}  // namespace talvori

#pragma once

#include <cstdint>
#include <string>

#include "focus/ShadeAnchorDecision.hpp"

namespace talvori {

// What the Focus engine settled on for one look at the windows, and what asked for the look: for
// those who follow the engine's choices without reading its log.
struct FocusDecision {
    ShadeAnchorDecision::Kind kind = ShadeAnchorDecision::Kind::none;
    // The focus source or follow-up that asked ("App activated", "Reconcile (…)", …).
    std::string source;
    // The anchor committed, held or snapped to; 0 for none.
    std::uint32_t window = 0;

    bool operator==(const FocusDecision&) const = default;
};

}  // namespace talvori

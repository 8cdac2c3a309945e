#pragma once

#include <cstdint>

namespace talvori {

// How the first-run picture of Focus looks: all windows alike, or everything but the focused
// window dimmed.
enum class FirstRunDemoPhase : std::uint8_t { undimmed, dimmed };

}  // namespace talvori

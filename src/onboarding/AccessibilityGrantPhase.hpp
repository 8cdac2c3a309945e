#pragma once

#include <cstdint>

namespace talvori {

// Where the first-run grant control stands: not pressed yet, waiting for the permission, waiting
// long enough that the user may need help, or granted (final).
enum class AccessibilityGrantPhase : std::uint8_t { idle, waiting, stuck, granted };

}  // namespace talvori

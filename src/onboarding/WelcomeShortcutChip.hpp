#pragma once

#include <cstdint>

namespace talvori {

// The two shortcuts the welcome page lets a new user try: Focus (toggleFocus) and Covers
// (newCover).
enum class WelcomeShortcutChip : std::uint8_t { focus, newCover };

}  // namespace talvori

#pragma once

// How shortcuts read on this desktop is the hot-key library's, which shows them in its own
// recorder too; the panels name them from here.
#include "GlobalShortcuts/ShortcutText.hpp"

namespace talvori {

using GlobalShortcuts::shortcutKeys;
using GlobalShortcuts::shortcutText;

}  // namespace talvori

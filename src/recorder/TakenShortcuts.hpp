#pragma once

#include <string>
#include <vector>

#include "recorder/ShortcutTitles.hpp"

namespace talvori {

// The application's names whose stored shortcut the desktop holds, in table order: they never
// fire until another shortcut is recorded for them.
std::vector<ShortcutTitle> takenShortcuts();

// Tells the screen reader, in one sentence, which stored shortcuts the desktop holds; says
// nothing when none is. The program says it once, at start.
void announceTakenShortcuts();

}  // namespace talvori

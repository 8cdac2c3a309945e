#pragma once

#include <optional>
#include <string>
#include <vector>

#include "recorder/ShortcutTitles.hpp"

namespace talvori {

class UserDefaults;

// The application's names whose stored shortcut the desktop holds, in table order: they never
// fire until another shortcut is recorded for them.
std::vector<ShortcutTitle> takenShortcuts();

// One sentence naming the stored shortcuts the desktop holds and where to record others; none
// while the desktop holds none.
std::optional<std::string> takenShortcutsNotice();

// The names the user was last told the desktop holds: told once, not at every start.
inline constexpr const char* kTakenNoticeShownKey = "shortcuts.takenNoticeShown";

// Whether the desktop holds a stored shortcut the user was not told about. Names it no longer
// holds are forgotten, so that one taken again is told again.
bool isTakenShortcutsNoticeDue(UserDefaults& defaults);
// Remembers that the user was told about every shortcut the desktop holds now.
void markTakenShortcutsNoticeShown(UserDefaults& defaults);

}  // namespace talvori

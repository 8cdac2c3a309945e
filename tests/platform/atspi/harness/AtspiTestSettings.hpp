#pragma once

namespace talvori::testing {

// Opens the settings window as the application declares it: the window whose shortcut fields a
// reader tabs through. It becomes key on a later turn.
void openSettingsWindow();

}  // namespace talvori::testing

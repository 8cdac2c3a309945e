#pragma once

namespace talvori::testing {

// Opens the settings window as the application declares it: the window whose shortcut fields a
// reader tabs through. It becomes key on a later turn.
void openSettingsWindow();
// Declares the settings window alone, for the program to open when asked.
void registerSettingsScene();

}  // namespace talvori::testing

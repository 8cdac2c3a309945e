#pragma once

#include <optional>
#include <string>
#include <vector>

#include "GlobalShortcuts/Name.hpp"

namespace talvori {

// The application's seven global shortcuts, each a name of the hot-key library with its default.
// Made on first use for the installed platform, which stores each default in its settings unless
// the user already chose a shortcut for the name.
struct ShortcutNames {
    // Shift-Command-F: Focus mode on or off.
    static const GlobalShortcuts::Name& toggleFocus();
    // Shift-Command-D: the menu-bar panel open or closed.
    static const GlobalShortcuts::Name& showPanel();
    // Option-Command-N: a new cover.
    static const GlobalShortcuts::Name& newCover();
    // Option-Command-Up and -Down: stronger and weaker Focus.
    static const GlobalShortcuts::Name& strongerFocus();
    static const GlobalShortcuts::Name& weakerFocus();
    // Control-Option-Command-Up and -Down: more and less Focus blur.
    static const GlobalShortcuts::Name& moreBlur();
    static const GlobalShortcuts::Name& lessBlur();

    // The three that stay on while the runtime runs: toggleFocus, showPanel, newCover.
    static const std::vector<GlobalShortcuts::Name>& globalShortcutNames();
    // The four that are on only while Focus is: strongerFocus, weakerFocus, moreBlur, lessBlur.
    static const std::vector<GlobalShortcuts::Name>& focusShortcutNames();

    // The stored shortcut of `name` in this desktop's words while it can reach the program; none
    // when the user cleared it or the desktop holds it, so that it is never offered as working.
    static std::optional<std::string> heldShortcutText(const GlobalShortcuts::Name& name);
};

}  // namespace talvori

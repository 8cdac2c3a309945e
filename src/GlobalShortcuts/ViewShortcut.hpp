#pragma once

#include <optional>

#include "GlobalShortcuts/Shortcut.hpp"
#include "ui/KeyPress.hpp"

namespace GlobalShortcuts {

// The shortcut as the views' keyboard shortcut: a named key (Return, Tab, Escape, Delete,
// Forward Delete, Space, Home, End, the arrows) or the character the key types on the current
// layout, with its modifiers. Absent for keys the views cannot match (function, page and help
// keys, the keypad, a key that types nothing) and for shortcuts that need Fn, which key presses
// never report to views.
std::optional<talvori::ui::KeyboardShortcut> toKeyboardShortcut(const Shortcut& shortcut);

}  // namespace GlobalShortcuts

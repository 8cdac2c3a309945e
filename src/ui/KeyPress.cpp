#include "ui/KeyPress.hpp"

#include <glib.h>

namespace talvori::ui {

bool KeyboardShortcut::matches(const KeyPress& press) const {
    if (press.modifiers != modifiers) return false;
    if (namedKey != Key::character) return press.key == namedKey;
    if (press.characters.empty()) return false;
    // Shortcuts name lower-case keys; the characters may come upper-cased with Shift or Caps Lock.
    gchar* folded = g_utf8_casefold(press.characters.c_str(), -1);
    gchar* wanted = g_utf8_casefold(key.c_str(), -1);
    const bool same = g_strcmp0(folded, wanted) == 0;
    g_free(folded);
    g_free(wanted);
    return same;
}

}  // namespace talvori::ui

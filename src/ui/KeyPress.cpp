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

namespace {

std::string keyName(Key key) {
    switch (key) {
        case Key::returnKey:
            return "Return";
        case Key::escape:
            return "Escape";
        case Key::tab:
            return "Tab";
        case Key::space:
            return "space";
        case Key::pageUp:
            return "Page_Up";
        case Key::pageDown:
            return "Page_Down";
        case Key::home:
            return "Home";
        case Key::end:
            return "End";
        default:
            return "";
    }
}

// The names key symbols have for the punctuation our shortcuts use.
std::string characterName(const std::string& character) {
    if (character == ",") return "comma";
    if (character == ".") return "period";
    return character;
}

}  // namespace

std::string KeyboardShortcut::accessibilityKeyBinding() const {
    std::string text = ";;";
    if (contains(modifiers, Modifiers::shift)) text += "<Shift>";
    if (contains(modifiers, Modifiers::control)) text += "<Control>";
    if (contains(modifiers, Modifiers::option)) text += "<Alt>";
    if (contains(modifiers, Modifiers::command)) text += "<Super>";
    return text + (namedKey == Key::character ? characterName(key) : keyName(namedKey));
}

}  // namespace talvori::ui

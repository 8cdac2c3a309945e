#include "session/ShortcutNames.hpp"

#include "platform/Platform.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "session/ShortcutText.hpp"

namespace talvori {

namespace {

using GlobalShortcuts::Key;
using GlobalShortcuts::Name;
using GlobalShortcuts::Shortcut;

constexpr std::uint64_t kShiftCommand = ModifierFlags::shift | ModifierFlags::command;
constexpr std::uint64_t kOptionCommand = ModifierFlags::option | ModifierFlags::command;
constexpr std::uint64_t kControlOptionCommand = ModifierFlags::control | kOptionCommand;

struct NameTable {
    Name toggleFocus{"toggleFocus", Shortcut(Key::f, kShiftCommand)};
    Name showPanel{"showPanel", Shortcut(Key::d, kShiftCommand)};
    Name newCover{"newCover", Shortcut(Key::n, kOptionCommand)};
    Name strongerFocus{"strongerFocus", Shortcut(Key::upArrow, kOptionCommand)};
    Name weakerFocus{"weakerFocus", Shortcut(Key::downArrow, kOptionCommand)};
    Name moreBlur{"moreBlur", Shortcut(Key::upArrow, kControlOptionCommand)};
    Name lessBlur{"lessBlur", Shortcut(Key::downArrow, kControlOptionCommand)};
    std::vector<Name> global{toggleFocus, showPanel, newCover};
    std::vector<Name> focus{strongerFocus, weakerFocus, moreBlur, lessBlur};
};

const NameTable& table() {
    return *platform().service<NameTable>();
}

}  // namespace

const Name& ShortcutNames::toggleFocus() {
    return table().toggleFocus;
}
const Name& ShortcutNames::showPanel() {
    return table().showPanel;
}
const Name& ShortcutNames::newCover() {
    return table().newCover;
}
const Name& ShortcutNames::strongerFocus() {
    return table().strongerFocus;
}
const Name& ShortcutNames::weakerFocus() {
    return table().weakerFocus;
}
const Name& ShortcutNames::moreBlur() {
    return table().moreBlur;
}
const Name& ShortcutNames::lessBlur() {
    return table().lessBlur;
}
const std::vector<Name>& ShortcutNames::globalShortcutNames() {
    return table().global;
}
const std::vector<Name>& ShortcutNames::focusShortcutNames() {
    return table().focus;
}

std::optional<std::string> ShortcutNames::heldShortcutText(const GlobalShortcuts::Name& name) {
    const auto shortcut = name.shortcut();
    if (!shortcut || shortcut->isTakenBySystem()) return std::nullopt;
    return shortcutText(*shortcut);
}

}  // namespace talvori

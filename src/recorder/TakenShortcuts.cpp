#include "recorder/TakenShortcuts.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "covers/announceForAccessibility.hpp"

namespace talvori {

namespace {

// "A", "A and B", "A, B and C".
std::string joinedTitles(const std::vector<ShortcutTitle>& entries) {
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) text += i + 1 == entries.size() ? " and " : ", ";
        text += entries[i].title;
    }
    return text;
}

}  // namespace

std::vector<ShortcutTitle> takenShortcuts() {
    std::vector<ShortcutTitle> taken;
    for (const auto& entry : shortcutTitles()) {
        const auto shortcut = GlobalShortcuts::getShortcut(entry.name);
        if (shortcut && shortcut->isTakenBySystem()) taken.push_back(entry);
    }
    return taken;
}

void announceTakenShortcuts() {
    const auto taken = takenShortcuts();
    if (taken.empty()) return;
    const bool one = taken.size() == 1;
    announceForAccessibility("Your desktop already uses the " + joinedTitles(taken) +
                             (one ? " shortcut. Record another one" : " shortcuts. Record others") +
                             " in Settings, under Shortcuts.");
}

}  // namespace talvori

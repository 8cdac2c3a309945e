#include "recorder/TakenShortcuts.hpp"

#include <algorithm>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "platform/core/UserDefaults.hpp"

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

DefaultsValue::Array takenNames() {
    DefaultsValue::Array names;
    for (const auto& entry : takenShortcuts()) names.emplace_back(entry.name.rawValue);
    return names;
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

std::optional<std::string> takenShortcutsNotice() {
    const auto taken = takenShortcuts();
    if (taken.empty()) return std::nullopt;
    const bool one = taken.size() == 1;
    return "Your desktop already uses the " + joinedTitles(taken) +
           (one ? " shortcut. Record another one" : " shortcuts. Record others") +
           " in Settings, under Shortcuts.";
}

bool isTakenShortcutsNoticeDue(UserDefaults& defaults) {
    const auto taken = takenNames();
    const auto told = defaults.array(kTakenNoticeShownKey).value_or(DefaultsValue::Array());
    DefaultsValue::Array stillTaken;
    for (const auto& name : told) {
        if (std::ranges::find(taken, name) != taken.end()) stillTaken.push_back(name);
    }
    if (stillTaken != told) defaults.set(kTakenNoticeShownKey, stillTaken);
    return std::ranges::any_of(taken, [&](const DefaultsValue& name) {
        return std::ranges::find(stillTaken, name) == stillTaken.end();
    });
}

void markTakenShortcutsNoticeShown(UserDefaults& defaults) {
    defaults.set(kTakenNoticeShownKey, takenNames());
}

}  // namespace talvori

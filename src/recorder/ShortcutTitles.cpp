#include "recorder/ShortcutTitles.hpp"

#include <algorithm>
#include <array>
#include <memory>

#include "GlobalShortcuts/Key.hpp"
#include "platform/Platform.hpp"
#include "session/ShortcutNames.hpp"

namespace talvori {

namespace {

using GlobalShortcuts::Key;

std::shared_ptr<std::vector<ShortcutTitle>> makeTitles() {
    return std::make_shared<std::vector<ShortcutTitle>>(std::vector<ShortcutTitle>{
        {ShortcutNames::showPanel(), "Show Talvori Panel"},
        {ShortcutNames::toggleFocus(), "Toggle Focus Mode"},
        {ShortcutNames::newCover(), "New Cover"},
        {ShortcutNames::strongerFocus(), "Stronger Focus"},
        {ShortcutNames::weakerFocus(), "Softer Focus"},
        {ShortcutNames::moreBlur(), "More Blur"},
        {ShortcutNames::lessBlur(), "Less Blur"},
    });
}

}  // namespace

const std::vector<ShortcutTitle>& shortcutTitles() {
    return *platform().service<std::vector<ShortcutTitle>>(makeTitles);
}

std::string titleForName(const GlobalShortcuts::Name& name) {
    for (const auto& entry : shortcutTitles()) {
        if (entry.name.rawValue == name.rawValue) return entry.title;
    }
    return name.rawValue;
}

bool isModifierFreeKey(std::int64_t keyCode) {
    static constexpr std::array<Key, 20> keys{Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,
                                              Key::f6,  Key::f7,  Key::f8,  Key::f9,  Key::f10,
                                              Key::f11, Key::f12, Key::f13, Key::f14, Key::f15,
                                              Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
    return std::any_of(keys.begin(), keys.end(),
                       [keyCode](const Key& key) { return key.rawValue == keyCode; });
}

}  // namespace talvori

#include "GlobalShortcuts/SpecialKey.hpp"

#include <array>
#include <unordered_map>

#include "GlobalShortcuts/Key.hpp"
#include "GlobalShortcuts/ResourceBundle.hpp"
#include "GlobalShortcuts/UnicodeText.hpp"

namespace GlobalShortcuts {

namespace {

struct Entry {
    std::int64_t keyCode;
    SpecialKey key;
    // Null for space, whose display is a localised word.
    const char* display;
    // Null where a menu has no equivalent (the keypad).
    const char* menuKeyEquivalent;
};

// In the order of SpecialKey, so that a case indexes its own entry.
constexpr std::array<Entry, 53> kEntries{{
    {Key::returnKey.rawValue, SpecialKey::returnKey, "\u21A9", "\u21A9"},
    {Key::deleteKey.rawValue, SpecialKey::deleteKey, "\u232B", "\u232B"},
    {Key::deleteForward.rawValue, SpecialKey::deleteForward, "\u2326", "\u2326"},
    {Key::end.rawValue, SpecialKey::end, "\u2198", "\u2198"},
    {Key::escape.rawValue, SpecialKey::escape, "\u238B", "\u238B"},
    {Key::help.rawValue, SpecialKey::help, "?\u20DD", "?\u20DD"},
    {Key::home.rawValue, SpecialKey::home, "\u2196", "\u2196"},
    {Key::space.rawValue, SpecialKey::space, nullptr, " "},
    {Key::tab.rawValue, SpecialKey::tab, "\u21E5", "\u21E5"},
    {Key::pageUp.rawValue, SpecialKey::pageUp, "\u21DE", "\u21DE"},
    {Key::pageDown.rawValue, SpecialKey::pageDown, "\u21DF", "\u21DF"},
    {Key::upArrow.rawValue, SpecialKey::upArrow, "\u2191", "\u2191"},
    {Key::rightArrow.rawValue, SpecialKey::rightArrow, "\u2192", "\u2192"},
    {Key::downArrow.rawValue, SpecialKey::downArrow, "\u2193", "\u2193"},
    {Key::leftArrow.rawValue, SpecialKey::leftArrow, "\u2190", "\u2190"},
    {Key::f1.rawValue, SpecialKey::f1, "F1", "\uF704"},
    {Key::f2.rawValue, SpecialKey::f2, "F2", "\uF705"},
    {Key::f3.rawValue, SpecialKey::f3, "F3", "\uF706"},
    {Key::f4.rawValue, SpecialKey::f4, "F4", "\uF707"},
    {Key::f5.rawValue, SpecialKey::f5, "F5", "\uF708"},
    {Key::f6.rawValue, SpecialKey::f6, "F6", "\uF709"},
    {Key::f7.rawValue, SpecialKey::f7, "F7", "\uF70A"},
    {Key::f8.rawValue, SpecialKey::f8, "F8", "\uF70B"},
    {Key::f9.rawValue, SpecialKey::f9, "F9", "\uF70C"},
    {Key::f10.rawValue, SpecialKey::f10, "F10", "\uF70D"},
    {Key::f11.rawValue, SpecialKey::f11, "F11", "\uF70E"},
    {Key::f12.rawValue, SpecialKey::f12, "F12", "\uF70F"},
    {Key::f13.rawValue, SpecialKey::f13, "F13", "\uF710"},
    {Key::f14.rawValue, SpecialKey::f14, "F14", "\uF711"},
    {Key::f15.rawValue, SpecialKey::f15, "F15", "\uF712"},
    {Key::f16.rawValue, SpecialKey::f16, "F16", "\uF713"},
    {Key::f17.rawValue, SpecialKey::f17, "F17", "\uF714"},
    {Key::f18.rawValue, SpecialKey::f18, "F18", "\uF715"},
    {Key::f19.rawValue, SpecialKey::f19, "F19", "\uF716"},
    {Key::f20.rawValue, SpecialKey::f20, "F20", "\uF717"},
    {Key::keypad0.rawValue, SpecialKey::keypad0, "0\u20E3", nullptr},
    {Key::keypad1.rawValue, SpecialKey::keypad1, "1\u20E3", nullptr},
    {Key::keypad2.rawValue, SpecialKey::keypad2, "2\u20E3", nullptr},
    {Key::keypad3.rawValue, SpecialKey::keypad3, "3\u20E3", nullptr},
    {Key::keypad4.rawValue, SpecialKey::keypad4, "4\u20E3", nullptr},
    {Key::keypad5.rawValue, SpecialKey::keypad5, "5\u20E3", nullptr},
    {Key::keypad6.rawValue, SpecialKey::keypad6, "6\u20E3", nullptr},
    {Key::keypad7.rawValue, SpecialKey::keypad7, "7\u20E3", nullptr},
    {Key::keypad8.rawValue, SpecialKey::keypad8, "8\u20E3", nullptr},
    {Key::keypad9.rawValue, SpecialKey::keypad9, "9\u20E3", nullptr},
    {Key::keypadClear.rawValue, SpecialKey::keypadClear, "\u2612\u20E3", nullptr},
    {Key::keypadDecimal.rawValue, SpecialKey::keypadDecimal, ".\u20E3", nullptr},
    {Key::keypadDivide.rawValue, SpecialKey::keypadDivide, "/\u20E3", nullptr},
    {Key::keypadEnter.rawValue, SpecialKey::keypadEnter, "\u21A9\u20E3", nullptr},
    {Key::keypadEquals.rawValue, SpecialKey::keypadEquals, "=\u20E3", nullptr},
    {Key::keypadMinus.rawValue, SpecialKey::keypadMinus, "-\u20E3", nullptr},
    {Key::keypadMultiply.rawValue, SpecialKey::keypadMultiply, "*\u20E3", nullptr},
    {Key::keypadPlus.rawValue, SpecialKey::keypadPlus, "+\u20E3", nullptr},
}};

constexpr bool entriesFollowTheEnum() {
    for (std::size_t index = 0; index < kEntries.size(); ++index) {
        if (static_cast<std::size_t>(kEntries[index].key) != index) return false;
    }
    return true;
}
static_assert(entriesFollowTheEnum());

const Entry& entry(SpecialKey key) {
    return kEntries[static_cast<std::size_t>(key)];
}

}  // namespace

std::optional<SpecialKey> SpecialKeys::forKeyCode(std::int64_t keyCode) {
    static const auto* const table = [] {
        auto* byCode = new std::unordered_map<std::int64_t, SpecialKey>();
        byCode->reserve(kEntries.size());
        for (const auto& each : kEntries) byCode->emplace(each.keyCode, each.key);
        return byCode;
    }();
    const auto found = table->find(keyCode);
    if (found == table->end()) return std::nullopt;
    return found->second;
}

std::string SpecialKeys::presentableDescription(SpecialKey key) {
    const char* display = entry(key).display;
    return display ? display : UnicodeText::capitalized(localized("space_key"));
}

std::optional<std::string> SpecialKeys::keyEquivalent(SpecialKey key) {
    const char* equivalent = entry(key).menuKeyEquivalent;
    if (!equivalent) return std::nullopt;
    return equivalent;
}

}  // namespace GlobalShortcuts

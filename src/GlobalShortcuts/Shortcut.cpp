#include "GlobalShortcuts/Shortcut.hpp"

#include <algorithm>
#include <cstdlib>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/HotKeyCenter.hpp"
#include "GlobalShortcuts/SpecialKey.hpp"
#include "GlobalShortcuts/UnicodeText.hpp"
#include "platform/Platform.hpp"
#include "platform/core/JsonReader.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "platform/desktop/Menu.hpp"

namespace GlobalShortcuts {

namespace {

constexpr const char* kReplacementCharacter = "\uFFFD";

}  // namespace

Shortcut::Shortcut(std::int64_t carbonKeyCode, std::int64_t carbonModifiers)
    : carbonKeyCode(carbonKeyCode), carbonModifiers(CarbonModifiers::normalized(carbonModifiers)) {}

Shortcut::Shortcut(Key key, std::uint64_t modifiers)
    : Shortcut(key.rawValue, CarbonModifiers::fromFlags(modifiers)) {}

std::optional<Shortcut> Shortcut::fromEvent(const talvori::Event& event) {
    if (!event.isKey()) return std::nullopt;
    return Shortcut(event.keyCode, CarbonModifiers::fromFlags(event.modifierFlags &
                                                              ~talvori::ModifierFlags::function));
}

std::uint64_t Shortcut::modifiers() const {
    return CarbonModifiers::toFlags(carbonModifiers);
}

talvori::JsonValue Shortcut::toJson() const {
    talvori::JsonValue json = talvori::JsonValue::object();
    json["carbonKeyCode"] = carbonKeyCode;
    json["carbonModifiers"] = carbonModifiers;
    return json;
}

std::optional<Shortcut> Shortcut::fromJson(const talvori::JsonValue& json) {
    if (!json.is_object()) return std::nullopt;
    talvori::JsonReader reader(json);
    const auto keyCode = reader.required<std::int64_t>("carbonKeyCode");
    const auto modifiers = reader.required<std::int64_t>("carbonModifiers");
    if (!reader.ok()) return std::nullopt;
    return Shortcut(Raw{}, keyCode, modifiers);
}

std::string Shortcut::jsonText() const {
    // Two integers always encode.
    return talvori::Json::dump(toJson()).value_or("");
}

std::optional<Shortcut> Shortcut::fromJsonText(const std::string& text) {
    const auto json = talvori::Json::parse(text);
    if (!json) return std::nullopt;
    return fromJson(*json);
}

std::optional<std::string> Shortcut::keyToCharacter(const talvori::KeyboardLayout& layout) const {
    if (!Key::isKeyboardCode(carbonKeyCode)) return std::nullopt;
    if (SpecialKeys::forKeyCode(carbonKeyCode)) return std::nullopt;
    auto characters = layout.characters(static_cast<std::uint16_t>(carbonKeyCode));
    if (!characters || !UnicodeText::isSingleGrapheme(*characters)) return std::nullopt;
    return characters;
}

std::optional<std::string> Shortcut::keyToCharacter() const {
    talvori::platform().runLoop().assertMainThread();
    return keyToCharacter(talvori::platform().keyboardLayout());
}

std::string Shortcut::description() const {
    talvori::platform().runLoop().assertMainThread();
    return CarbonModifiers::symbolicRepresentation(modifiers()) + keyDescription();
}

std::string Shortcut::keyDescription() const {
    talvori::platform().runLoop().assertMainThread();
    if (const auto special = SpecialKeys::forKeyCode(carbonKeyCode)) {
        return SpecialKeys::presentableDescription(*special);
    }
    return UnicodeText::capitalized(keyToCharacter().value_or(kReplacementCharacter));
}

std::optional<std::string> Shortcut::nsMenuItemKeyEquivalent() const {
    talvori::platform().runLoop().assertMainThread();
    if (const auto special = SpecialKeys::forKeyCode(carbonKeyCode)) {
        return SpecialKeys::keyEquivalent(*special);
    }
    return keyToCharacter();
}

std::shared_ptr<talvori::MenuItem> Shortcut::menuItemWithMatchingShortcut(
    const talvori::Menu& menu) const {
    talvori::platform().runLoop().assertMainThread();
    const auto keyText = nsMenuItemKeyEquivalent();
    const std::uint64_t flags = modifiers();
    const bool hasShift = (carbonModifiers & CarbonModifiers::shift) != 0;
    for (const auto& item : menu.itemArray()) {
        if (keyText) {
            std::string key = item->keyEquivalent();
            std::uint64_t mask = item->keyEquivalentModifierMask();
            // An upper-case key equivalent stands for Shift and the letter.
            if (hasShift) {
                const std::string lower = UnicodeText::lowercased(key);
                if (lower != key) {
                    key = lower;
                    mask |= talvori::ModifierFlags::shift;
                }
            }
            if (key == *keyText && mask == flags) return item;
        }
        if (const auto& submenu = item->submenu()) {
            if (auto found = menuItemWithMatchingShortcut(*submenu)) return found;
        }
    }
    return nullptr;
}

std::vector<Shortcut> Shortcut::systemShortcuts() {
    talvori::platform().runLoop().assertMainThread();
    std::vector<Shortcut> shortcuts;
    for (const auto& [keyCode, modifiers] : HotKeyCenter::shared().symbolicHotKeys()) {
        // The system lists its function-key shortcuts with or without Fn; compare them without.
        shortcuts.push_back(
            Shortcut(Raw{}, keyCode, CarbonModifiers::forComparison(keyCode, modifiers)));
    }
    return shortcuts;
}

bool Shortcut::isTakenBySystem() const {
    talvori::platform().runLoop().assertMainThread();
    // Held by another program, the combination could never be registered, F12 included.
    if (HotKeyCenter::shared().isHeldElsewhere(carbonKeyCode, carbonModifiers)) return true;
    // Plain F12 is listed by some systems but is free for programs to use.
    if (carbonKeyCode == Key::f12.rawValue && carbonModifiers == 0) return false;
    const auto system = systemShortcuts();
    return std::find(system.begin(), system.end(), *this) != system.end();
}

bool isSandboxed() {
    static const bool sandboxed = std::getenv("APP_SANDBOX_CONTAINER_ID") != nullptr;
    return sandboxed;
}

}  // namespace GlobalShortcuts

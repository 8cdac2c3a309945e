#include "platform/desktop/Event.hpp"

#include <array>
#include <utility>

namespace talvori {

bool Event::isMouse() const {
    switch (type) {
        case EventType::leftMouseDown:
        case EventType::leftMouseUp:
        case EventType::rightMouseDown:
        case EventType::rightMouseUp:
        case EventType::otherMouseDown:
        case EventType::otherMouseUp:
        case EventType::mouseMoved:
        case EventType::leftMouseDragged:
        case EventType::rightMouseDragged:
        case EventType::mouseEntered:
        case EventType::mouseExited:
        case EventType::scrollWheel:
            return true;
        default:
            return false;
    }
}

std::optional<SpecialKey> Event::specialKeyForKeyCode(std::uint16_t keyCode) {
    static constexpr std::array<std::pair<std::uint16_t, SpecialKey>, 15> named{{
        {126, SpecialKey::upArrow},
        {125, SpecialKey::downArrow},
        {123, SpecialKey::leftArrow},
        {124, SpecialKey::rightArrow},
        {48, SpecialKey::tab},
        {36, SpecialKey::carriageReturn},
        {76, SpecialKey::enter},
        {53, SpecialKey::escape},
        {51, SpecialKey::backspace},
        {117, SpecialKey::deleteForward},
        {115, SpecialKey::home},
        {119, SpecialKey::end},
        {116, SpecialKey::pageUp},
        {121, SpecialKey::pageDown},
        {114, SpecialKey::help},
    }};
    for (const auto& [code, key] : named) {
        if (code == keyCode) return key;
    }
    // F1 ... F20 in key-code order of the US layout.
    static constexpr std::array<std::uint16_t, 20> functionKeys{
        122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111, 105, 107, 113, 106, 64, 79, 80, 90};
    for (std::size_t index = 0; index < functionKeys.size(); ++index) {
        if (functionKeys[index] == keyCode) {
            return static_cast<SpecialKey>(static_cast<int>(SpecialKey::f1) +
                                           static_cast<int>(index));
        }
    }
    return std::nullopt;
}

}  // namespace talvori

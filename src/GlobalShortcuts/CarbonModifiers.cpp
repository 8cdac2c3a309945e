#include "GlobalShortcuts/CarbonModifiers.hpp"

#include <array>
#include <utility>

#include "GlobalShortcuts/Key.hpp"
#include "platform/desktop/Event.hpp"

namespace GlobalShortcuts {

namespace {

using talvori::ModifierFlags;

// In the order people read the symbols; the globe in text presentation, so that it sits among
// the other symbols.
constexpr std::array<std::pair<std::uint64_t, const char*>, 5> kSymbols{{
    {ModifierFlags::control, "\u2303"},
    {ModifierFlags::option, "\u2325"},
    {ModifierFlags::shift, "\u21E7"},
    {ModifierFlags::command, "\u2318"},
    {ModifierFlags::function, "\U0001F310\uFE0E"},
}};

}  // namespace

std::int64_t CarbonModifiers::forComparison(std::int64_t keyCode, std::int64_t carbon) {
    const auto modifiers = normalized(carbon);
    return Key::isFnFlagKey(keyCode) ? modifiers & ~function : modifiers;
}

std::string CarbonModifiers::symbolicRepresentation(std::uint64_t flags) {
    std::string symbols;
    for (const auto& [flag, symbol] : kSymbols) {
        if (flags & flag) symbols += symbol;
    }
    return symbols;
}

}  // namespace GlobalShortcuts

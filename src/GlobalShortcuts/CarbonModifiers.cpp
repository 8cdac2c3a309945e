#include "GlobalShortcuts/CarbonModifiers.hpp"

#include <array>

#include "GlobalShortcuts/Key.hpp"

namespace GlobalShortcuts {

namespace {

struct Correspondence {
    std::uint64_t flag;
    std::int64_t carbon;
    const char* symbol;
};

// In the order people read the symbols.
constexpr std::array<Correspondence, 5> kModifiers{{
    {CarbonModifiers::Flags::control, CarbonModifiers::control, "\u2303"},
    {CarbonModifiers::Flags::option, CarbonModifiers::option, "\u2325"},
    {CarbonModifiers::Flags::shift, CarbonModifiers::shift, "\u21E7"},
    {CarbonModifiers::Flags::command, CarbonModifiers::command, "\u2318"},
    // The globe in text presentation, so that it sits among the other symbols.
    {CarbonModifiers::Flags::function, CarbonModifiers::function, "\U0001F310\uFE0E"},
}};

constexpr std::uint64_t kLow32 = 0xFFFFFFFF;

}  // namespace

std::int64_t CarbonModifiers::fromFlags(std::uint64_t flags) {
    flags &= kLow32;
    std::int64_t carbon = 0;
    for (const auto& modifier : kModifiers) {
        if (flags & modifier.flag) carbon |= modifier.carbon;
    }
    return carbon;
}

std::uint64_t CarbonModifiers::toFlags(std::int64_t carbon) {
    const auto bits = static_cast<std::uint64_t>(carbon) & kLow32;
    std::uint64_t flags = 0;
    for (const auto& modifier : kModifiers) {
        if (bits & static_cast<std::uint64_t>(modifier.carbon)) flags |= modifier.flag;
    }
    return flags;
}

std::int64_t CarbonModifiers::forComparison(std::int64_t keyCode, std::int64_t carbon) {
    const auto modifiers = normalized(carbon);
    return Key::isFnFlagKey(keyCode) ? modifiers & ~function : modifiers;
}

std::string CarbonModifiers::symbolicRepresentation(std::uint64_t flags) {
    std::string symbols;
    for (const auto& modifier : kModifiers) {
        if (flags & modifier.flag) symbols += modifier.symbol;
    }
    return symbols;
}

}  // namespace GlobalShortcuts

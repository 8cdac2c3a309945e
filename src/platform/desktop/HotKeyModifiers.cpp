#include "platform/desktop/HotKeyModifiers.hpp"

#include <array>
#include <utility>

#include "platform/desktop/Event.hpp"

namespace talvori {

namespace {

constexpr std::array<std::pair<std::uint64_t, std::uint32_t>, 5> kCorrespondence{{
    {ModifierFlags::control, HotKeyModifiers::control},
    {ModifierFlags::option, HotKeyModifiers::option},
    {ModifierFlags::shift, HotKeyModifiers::shift},
    {ModifierFlags::command, HotKeyModifiers::command},
    {ModifierFlags::function, HotKeyModifiers::function},
}};

constexpr std::uint64_t kLow32 = 0xFFFFFFFF;

}  // namespace

std::uint32_t HotKeyModifiers::fromEventFlags(std::uint64_t flags) {
    std::uint32_t mask = 0;
    for (const auto& [flag, bit] : kCorrespondence) {
        if (flags & kLow32 & flag) mask |= bit;
    }
    return mask;
}

std::uint64_t HotKeyModifiers::toEventFlags(std::uint64_t mask) {
    std::uint64_t flags = 0;
    for (const auto& [flag, bit] : kCorrespondence) {
        if (mask & kLow32 & bit) flags |= flag;
    }
    return flags;
}

}  // namespace talvori

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace GlobalShortcuts {

// What a recorder does with a newly recorded shortcut that conflicts with something.
enum class ConflictBehavior : std::uint8_t {
    // Show the situation's message with one button and reject the shortcut.
    block = 0,
    // Show the message with "ok" and "force_use_shortcut"; accept only through the second button.
    warn = 1,
    // Accept without asking.
    allow = 2,
};

// The alert response of the second button, the one that forces a warned-about shortcut.
inline constexpr int kSecondButtonResponse = 1001;

// Whether a `behavior` alert dismissed with `response` accepts the shortcut.
bool conflictAccepts(ConflictBehavior behavior, int response);

// The recorder's answer to each kind of conflict: a menu item of the application already uses the
// combination, the system reserves it, or the sandbox rule for Option shortcuts disallows it.
struct ConflictPolicy {
    ConflictBehavior menuItem = ConflictBehavior::block;
    ConflictBehavior systemShortcut = ConflictBehavior::warn;
    ConflictBehavior disallowed = ConflictBehavior::block;

    bool operator==(const ConflictPolicy&) const = default;

    // A reserved combination is only warned about (the person may force it); the others block.
    static const ConflictPolicy defaultPolicy;
    static const ConflictPolicy allowAll;

    // The message key of each situation.
    static constexpr const char* kMenuItemMessageKey = "keyboard_shortcut_used_by_menu_item";
    static constexpr const char* kSystemShortcutMessageKey = "keyboard_shortcut_used_by_system";
    static constexpr const char* kSystemShortcutInformativeKey =
        "keyboard_shortcuts_can_be_changed";
    static constexpr const char* kDisallowedMessageKey = "keyboard_shortcut_disallowed";
};

inline constexpr ConflictPolicy ConflictPolicy::defaultPolicy{
    ConflictBehavior::block, ConflictBehavior::warn, ConflictBehavior::block};
inline constexpr ConflictPolicy ConflictPolicy::allowAll{
    ConflictBehavior::allow, ConflictBehavior::allow, ConflictBehavior::allow};

}  // namespace GlobalShortcuts

template <>
struct std::hash<GlobalShortcuts::ConflictPolicy> {
    std::size_t operator()(const GlobalShortcuts::ConflictPolicy& policy) const noexcept;
};

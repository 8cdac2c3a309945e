#pragma once

#include <functional>
#include <optional>
#include <string>

#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/core/NotificationCenter.hpp"

namespace GlobalShortcuts {

// A user-configurable shortcut of the application, e.g. "toggleFocus". Everything the library
// keeps per shortcut is keyed by its name: the stored shortcut under "GlobalShortcuts_" plus the
// name, the handlers, the enabled state. Two names are the same name when their texts are equal,
// whatever their defaults.
struct Name {
    std::string rawValue;
    // The default given when the name was made.
    std::optional<Shortcut> initialShortcut;

    // Stores `initialShortcut` as the name's shortcut when nothing at all is stored under its key
    // yet (a shortcut the user changed or cleared stays), and schedules the start of the library
    // for a later turn of the run loop. On the main thread.
    explicit Name(std::string rawValue, std::optional<Shortcut> initialShortcut = std::nullopt);
    // A name for an existing text: stores nothing and starts nothing.
    static Name fromRawValue(std::string rawValue);

    const std::optional<Shortcut>& defaultShortcut() const { return initialShortcut; }

    // The stored shortcut, and storing or clearing it (the registry's getShortcut and setShortcut).
    std::optional<Shortcut> shortcut() const;
    void setShortcut(const std::optional<Shortcut>& shortcut) const;

    bool operator==(const Name& other) const { return rawValue == other.rawValue; }
    bool operator<(const Name& other) const { return rawValue < other.rawValue; }

  private:
    struct Raw {};
    Name(Raw, std::string rawValue) : rawValue(std::move(rawValue)) {}
};

// The "name" entry of a notification's user info when it is a Name.
std::optional<Name> shortcutName(const talvori::Notification& notification);

}  // namespace GlobalShortcuts

template <>
struct std::hash<GlobalShortcuts::Name> {
    std::size_t operator()(const GlobalShortcuts::Name& name) const noexcept {
        return std::hash<std::string>{}(name.rawValue);
    }
};

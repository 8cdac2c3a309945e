#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/core/Geometry.hpp"

namespace talvori {

// The results of Accessibility calls.
enum class AXError : int {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,
    invalidUIElementObserver = -25203,
    cannotComplete = -25204,
    attributeUnsupported = -25205,
    notificationUnsupported = -25207,
    notImplemented = -25208,
    notificationAlreadyRegistered = -25209,
    notificationNotRegistered = -25210,
    apiDisabled = -25211,
    noValue = -25212,
};

// A handle to an element of another application's interface: the system-wide element, an
// application, or one of its windows. Equal handles name the same element; the order lets handles
// key a table.
struct AXElement {
    enum class Kind { systemWide, application, window };

    Kind kind = Kind::systemWide;
    std::int32_t pid = 0;
    // The backend's identity of the element within its process.
    std::uint64_t identifier = 0;

    auto operator<=>(const AXElement&) const = default;
};

// An attribute's value. Positions and sizes are in top-left coordinates of the first screen, y
// down.
using AXValue = std::variant<AXElement, std::vector<AXElement>, Point, Size, std::string, bool>;

// Either a value (error success) or an error; "no value" is the error noValue.
template <class T>
struct AXResult {
    AXError error = AXError::failure;
    std::optional<T> value;

    static AXResult success(T value) { return {AXError::success, std::move(value)}; }
    static AXResult failure(AXError error) { return {error, std::nullopt}; }
    bool ok() const { return error == AXError::success && value.has_value(); }
};

// Attribute and notification names.
struct AXAttribute {
    static constexpr const char* focusedApplication = "AXFocusedApplication";
    static constexpr const char* focusedWindow = "AXFocusedWindow";
    static constexpr const char* mainWindow = "AXMainWindow";
    static constexpr const char* windows = "AXWindows";
    static constexpr const char* position = "AXPosition";
    static constexpr const char* size = "AXSize";
    static constexpr const char* title = "AXTitle";
};

struct AXNotification {
    static constexpr const char* focusedWindowChanged = "AXFocusedWindowChanged";
    static constexpr const char* mainWindowChanged = "AXMainWindowChanged";
    static constexpr const char* moved = "AXMoved";
    static constexpr const char* resized = "AXResized";
    static constexpr const char* elementDestroyed = "AXUIElementDestroyed";
};

}  // namespace talvori

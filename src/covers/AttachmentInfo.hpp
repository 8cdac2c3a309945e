#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/JsonValue.hpp"

namespace talvori {

// The other application's window a cover follows.
struct AttachmentInfo {
    std::int32_t targetPID = 0;
    std::optional<std::string> targetBundleID;
    // What the user calls the target: its application's name and its window's title. A saved
    // cover finds its window again by it, so it is stored as it was when the cover attached.
    std::optional<std::string> targetWindowTitle;

    bool operator==(const AttachmentInfo&) const = default;

    // Absent texts are left out, never written as null.
    JsonValue toJson() const;
    // A missing or null text reads as absent; a missing or non-integral pid fails.
    static std::optional<AttachmentInfo> fromJson(const JsonValue& json);
};

}  // namespace talvori

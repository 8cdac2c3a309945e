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
    // A display label for the target; the attaching code stores the application's localized name.
    std::optional<std::string> targetWindowTitle;

    bool operator==(const AttachmentInfo&) const = default;

    // Absent texts are left out, never written as null.
    JsonValue toJson() const;
    // A missing or null text reads as absent; a missing or non-integral pid fails.
    static std::optional<AttachmentInfo> fromJson(const JsonValue& json);
};

}  // namespace talvori

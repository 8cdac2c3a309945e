#pragma once

#include <optional>
#include <string>
#include <vector>

#include "covers/OverlayModel.hpp"
#include "platform/core/JsonValue.hpp"
#include "platform/core/UUID.hpp"

namespace talvori {

// A layout: a named set of covers, in their order.
struct PresetModel {
    UUID id = UUID::random();
    std::string name;
    std::vector<OverlayModel> overlays;

    bool operator==(const PresetModel&) const = default;

    JsonValue toJson() const;
    static std::optional<PresetModel> fromJson(const JsonValue& json);
};

}  // namespace talvori

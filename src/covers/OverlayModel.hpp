#pragma once

#include <optional>
#include <string>
#include <vector>

#include "covers/AttachmentInfo.hpp"
#include "covers/CodableColor.hpp"
#include "covers/CodableRect.hpp"
#include "covers/EffectType.hpp"
#include "covers/PresetChange.hpp"
#include "covers/ZOrderMode.hpp"
#include "platform/core/JsonValue.hpp"
#include "platform/core/UUID.hpp"

namespace talvori {

// One cover: what it is called, where it is, how it looks and how it behaves. The same value is
// what a layout stores. Identified by `id`; equal only when every field is exactly equal.
struct OverlayModel {
    UUID id = UUID::random();
    std::string name;
    CodableRect frame;
    CodableColor color;
    double opacity = 0;
    double blurRadius = 0;
    EffectType effectType = EffectType::solid;
    bool isClickThroughEnabled = false;
    ZOrderMode zOrderMode = ZOrderMode::floating;
    // Absent while the cover is free.
    std::optional<AttachmentInfo> attachmentInfo;

    bool operator==(const OverlayModel&) const = default;

    // "attachmentInfo" is written only when present.
    JsonValue toJson() const;
    // Every key but "attachmentInfo" is required.
    static std::optional<OverlayModel> fromJson(const JsonValue& json);

    // What differs between the open covers and a saved layout's covers, matched by id: additions
    // in `current` order, then removals in `saved` order, then each kept cover's changed fields.
    static std::vector<PresetChange> presetChanges(const std::vector<OverlayModel>& current,
                                                   const std::vector<OverlayModel>& saved);
};

}  // namespace talvori

#pragma once

#include <string>

#include "covers/OverlayModel.hpp"
#include "covers/PresetModel.hpp"

namespace talvori::testing {

// A cover with every field set to something other than its default.
inline OverlayModel sampleCover(std::string name = "Overlay 1") {
    return OverlayModel{
        .id = UUID::random(),
        .name = std::move(name),
        .frame = {100, 200, 300, 150},
        .color = {1, 0.5, 0, 1},
        .opacity = 0.8,
        .blurRadius = 20,
        .effectType = EffectType::solid,
        .isClickThroughEnabled = false,
        .zOrderMode = ZOrderMode::floating,
        .attachmentInfo = std::nullopt,
    };
}

inline PresetModel samplePreset(std::string name, int covers) {
    PresetModel preset{.id = UUID::random(), .name = std::move(name), .overlays = {}};
    for (int i = 0; i < covers; ++i) {
        OverlayModel cover = sampleCover("Overlay " + std::to_string(i + 1));
        cover.frame.x += 10.25 * i;
        cover.opacity = 0.1 + 0.01 * i;
        if (i % 2) cover.effectType = EffectType::glass;
        if (i % 3 == 0) cover.attachmentInfo = AttachmentInfo{1000 + i, "org.example.App", "App"};
        preset.overlays.push_back(std::move(cover));
    }
    return preset;
}

}  // namespace talvori::testing

// OverlayModel.presetChanges: the lines that tell how the open covers differ from a saved layout.

#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "covers/OverlayModel.hpp"
#include "covers/PresetChange.hpp"
#include "platform/core/SaturatingCast.hpp"

namespace talvori {

namespace {

using ModelsByID = std::unordered_map<UUID, const OverlayModel*>;

// A list is expected to hold each id once; should one repeat, its first cover stands for it.
ModelsByID indexByID(const std::vector<OverlayModel>& models) {
    ModelsByID index;
    index.reserve(models.size());
    for (const auto& model : models) index.emplace(model.id, &model);
    return index;
}

std::string displayName(const OverlayModel& model) {
    return model.name.empty() ? "Overlay" : model.name;
}

std::string attachmentDescription(const OverlayModel& current) {
    if (!current.attachmentInfo) return "detached";
    if (const auto& title = current.attachmentInfo->targetWindowTitle)
        return "attached to " + *title;
    return "attachment changed";
}

// Truncated, not rounded: 0.29 shows 28%.
std::string opacityDescription(double opacity) {
    return "opacity \u2192 " + std::to_string(saturatingCast<std::int64_t>(opacity * 100)) + "%";
}

void appendModifications(const OverlayModel& current, const OverlayModel& saved,
                         std::vector<PresetChange>& changes) {
    const std::string name = displayName(current);
    auto line = [&](std::string description) { changes.push_back({name, std::move(description)}); };
    if (current.attachmentInfo != saved.attachmentInfo) line(attachmentDescription(current));
    if (current.color != saved.color) line("color changed");
    if (current.opacity != saved.opacity) line(opacityDescription(current.opacity));
    if (current.frame != saved.frame) line("moved or resized");
    if (current.blurRadius != saved.blurRadius) line("blur changed");
    if (current.effectType != saved.effectType) {
        line("effect \u2192 " + std::string(current.effectType.rawValue()));
    }
    if (current.isClickThroughEnabled != saved.isClickThroughEnabled) {
        line(current.isClickThroughEnabled ? "click-through on" : "click-through off");
    }
    if (current.zOrderMode != saved.zOrderMode) line("z-order changed");
    if (current.name != saved.name) line("renamed");
}

}  // namespace

std::vector<PresetChange> OverlayModel::presetChanges(const std::vector<OverlayModel>& current,
                                                      const std::vector<OverlayModel>& saved) {
    const ModelsByID savedByID = indexByID(saved);
    const ModelsByID currentByID = indexByID(current);
    std::vector<PresetChange> changes;
    for (const auto& model : current) {
        if (!savedByID.contains(model.id)) changes.push_back({displayName(model), "added"});
    }
    for (const auto& model : saved) {
        if (!currentByID.contains(model.id)) changes.push_back({displayName(model), "removed"});
    }
    for (const auto& model : current) {
        const auto found = savedByID.find(model.id);
        if (found != savedByID.end()) appendModifications(model, *found->second, changes);
    }
    return changes;
}

}  // namespace talvori

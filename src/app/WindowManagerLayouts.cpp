#include <algorithm>

#include "app/WindowManager.hpp"
#include "covers/announceForAccessibility.hpp"
#include "platform/Platform.hpp"

namespace talvori {

void WindowManager::applyPreset(const UUID& id) {
    platform().runLoop().assertMainThread();
    const auto& list = presets.peek();
    const auto found =
        std::find_if(list.begin(), list.end(), [&](const auto& preset) { return preset.id == id; });
    if (found == list.end()) return;
    const std::vector<OverlayModel> records = found->overlays;
    const std::string name = found->name;
    endUndoOffer();
    closeActiveLayout();
    startCardAppear();
    raiseOverlayNumber(records);
    for (auto record : records) {
        if (record.name.empty()) record.name = defaultName(takeOverlayNumber());
        restoreCover(record);
    }
    activePresetId.set(id);
    announceForAccessibility("Layout " + name + " applied");
}

}  // namespace talvori

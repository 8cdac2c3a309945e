#include "platform/desktop/SceneCloseKeys.hpp"

#include "platform/desktop/ModifierFlags.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/SpecialKey.hpp"

namespace talvori {

bool SceneCloseKeys::closes(const Event& event) {
    const auto chord =
        event.deviceIndependentFlags() & (ModifierFlags::shift | ModifierFlags::control |
                                          ModifierFlags::option | ModifierFlags::command);
    if (event.specialKey == SpecialKey::escape) return chord == 0;
    return chord == ModifierFlags::control &&
           (event.charactersIgnoringModifiers == "w" || event.charactersIgnoringModifiers == "W");
}

bool SceneCloseKeys::keyDown(Panel& panel, const Event& event) {
    if (!closes(event)) return false;
    panel.close();
    return true;
}

}  // namespace talvori

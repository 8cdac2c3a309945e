#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/desktop/HotKeyService.hpp"

namespace GlobalShortcuts {

// One key combination registered with the system, with what its press and release do. Made and
// owned by the shortcut registry, registered through the hot-key centre; dropping the last owner
// unregisters it. Used on the main thread.
class HotKey {
  public:
    HotKey(std::int64_t carbonKeyCode, std::int64_t carbonModifiers, std::int64_t id,
           std::function<void()> onKeyDown, std::function<void()> onKeyUp);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    const std::int64_t carbonKeyCode;
    const std::int64_t carbonModifiers;
    // Unique in the process: the centre's counter, incremented for each hot key made.
    const std::int64_t id;
    const std::function<void()> onKeyDown;
    const std::function<void()> onKeyUp;
    // Called when registering again (leaving a menu, re-enabling) fails for this hot key.
    std::function<void()> onRegistrationFailed;
    // Present while the combination is registered with the system.
    std::optional<talvori::HotKeyRef> eventHotKeyRef;
};

}  // namespace GlobalShortcuts

#include "GlobalShortcuts/HotKey.hpp"

#include "GlobalShortcuts/HotKeyCenter.hpp"
#include "platform/Platform.hpp"

namespace GlobalShortcuts {

HotKey::HotKey(std::int64_t carbonKeyCode, std::int64_t carbonModifiers, std::int64_t id,
               std::function<void()> onKeyDown, std::function<void()> onKeyUp)
    : carbonKeyCode(carbonKeyCode),
      carbonModifiers(carbonModifiers),
      id(id),
      onKeyDown(std::move(onKeyDown)),
      onKeyUp(std::move(onKeyUp)) {}

HotKey::~HotKey() {
    talvori::platform().runLoop().assertMainThread();
    if (auto* center = HotKeyCenter::existing()) center->unregister(*this);
}

}  // namespace GlobalShortcuts

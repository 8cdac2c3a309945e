#pragma once

#include <gtest/gtest.h>

#include "GlobalShortcuts/Registry.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "support/SimDesktopTest.hpp"

namespace GlobalShortcuts::testing {

// A fresh simulated desktop for each test; the library's state goes with the platform that owns it.
class GlobalShortcutsTest : public talvori::testing::SimDesktopTest {
  protected:
    talvori::sim::SimHotKeyService& hotKeys() const { return simHotKeys(); }
    talvori::sim::SimKeyboardLayout& layout() const { return simKeyboardLayout(); }

    // Presses the shortcut's key with its modifiers on the simulated keyboard: true when it
    // reached us as a hot key.
    bool press(const Shortcut& shortcut) const {
        return input().keyDown(
                   talvori::sim::KeyStroke::key(keyCode(shortcut), "", shortcut.modifiers())) ==
               talvori::sim::KeyDelivery::intercepted;
    }
    // Lets go of the modifiers, then of the key.
    void release(const Shortcut& shortcut) const {
        input().setModifierFlags(0);
        input().keyUp(talvori::sim::KeyStroke::key(keyCode(shortcut)));
    }
    bool type(const Shortcut& shortcut) const {
        const bool pressed = press(shortcut);
        release(shortcut);
        return pressed;
    }
    bool isRegistered(const Shortcut& shortcut) const {
        return hotKeys().isRegistered(combination(shortcut));
    }
    static talvori::sim::SimHotKeyService::Combination combination(const Shortcut& shortcut) {
        return {static_cast<std::uint32_t>(shortcut.carbonKeyCode),
                static_cast<std::uint32_t>(shortcut.carbonModifiers)};
    }

  private:
    static std::uint16_t keyCode(const Shortcut& shortcut) {
        return static_cast<std::uint16_t>(shortcut.carbonKeyCode);
    }
};

}  // namespace GlobalShortcuts::testing

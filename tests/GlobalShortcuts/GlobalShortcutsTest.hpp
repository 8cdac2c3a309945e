#pragma once

#include <gtest/gtest.h>

#include "GlobalShortcuts/Registry.hpp"
#include "support/SimDesktopTest.hpp"

namespace GlobalShortcuts::testing {

// A fresh simulated desktop for each test, and the library's process-wide state dropped after
// it, while the platform still exists.
class GlobalShortcutsTest : public talvori::testing::SimDesktopTest {
  protected:
    ~GlobalShortcutsTest() override { Registry::tearDown(); }

    talvori::sim::SimHotKeyService& hotKeys() const { return simHotKeys(); }
    talvori::sim::SimKeyboardLayout& layout() const { return simKeyboardLayout(); }
};

}  // namespace GlobalShortcuts::testing

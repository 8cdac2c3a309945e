#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "GlobalShortcuts/GlobalShortcutsTest.hpp"
#include "GlobalShortcuts/Key.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "recorder/ShortcutTitles.hpp"

namespace talvori::testing {

using GlobalShortcuts::Key;
using GlobalShortcuts::Name;
using GlobalShortcuts::Shortcut;
using Flags = ModifierFlags;

// A simulated desktop with our application in front, the application's seven shortcut names
// made, and a keyboard that types combinations.
class RecorderTest : public GlobalShortcuts::testing::GlobalShortcutsTest {
  protected:
    RecorderTest() { world().activateApplication(sim::SimWorld::kOwnPID); }

    // One of the seven names by its raw name.
    static const Name& appName(const std::string& rawValue) {
        for (const auto& entry : shortcutTitles()) {
            if (entry.name.rawValue == rawValue) return entry.name;
        }
        throw std::invalid_argument(rawValue);
    }

    // Presses and releases `key` with `flags` held; reports where the press went.
    sim::KeyDelivery typeKey(Key key, std::uint64_t flags = 0, bool isRepeat = false) const {
        const auto code = static_cast<std::uint16_t>(key.rawValue);
        auto stroke = sim::KeyStroke::key(code, layout().characters(code).value_or(""), flags);
        stroke.isARepeat = isRepeat;
        return input().typeKey(stroke);
    }
    // Holds (or, with 0, releases) modifier keys.
    void hold(std::uint64_t flags) const { input().setModifierFlags(flags); }

    std::vector<std::string> announcements() const { return simAnnouncer().texts(); }
    std::string lastAnnouncement() const {
        const auto texts = announcements();
        return texts.empty() ? std::string() : texts.back();
    }

    const Shortcut optionCommandK{Key::k, Flags::option | Flags::command};
    const Shortcut optionCommandN{Key::n, Flags::option | Flags::command};
    const Shortcut shiftCommandF{Key::f, Flags::shift | Flags::command};
};

}  // namespace talvori::testing

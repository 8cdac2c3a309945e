#include <gtest/gtest.h>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcutsTest.hpp"
#include "platform/desktop/Event.hpp"

namespace GlobalShortcuts {
namespace {

using Flags = talvori::ModifierFlags;

class RegistryTest : public testing::GlobalShortcutsTest {
  protected:
    RegistryTest() {
        changes_ = talvori::platform().notificationCenter().addObserver(
            kShortcutByNameDidChangeNotification, nullptr,
            talvori::NotificationDelivery::synchronous, [this](const talvori::Notification& note) {
                if (const auto name = shortcutName(note)) changed.push_back(name->rawValue);
            });
    }

    std::function<void()> record(const std::string& text) {
        return [this, text] { log.push_back(text); };
    }
    talvori::UserDefaults& defaults() const { return talvori::platform().userDefaults(); }

    const Shortcut commandShiftF{Key::f, Flags::command | Flags::shift};
    const Shortcut commandShiftD{Key::d, Flags::command | Flags::shift};
    const Shortcut optionCommandN{Key::n, Flags::option | Flags::command};
    std::vector<std::string> log;
    std::vector<std::string> changed;

  private:
    talvori::Registration changes_;
};

TEST_F(RegistryTest, TheApplicationsSevenNamesFireTheirHandlersFromTypedCombinations) {
    const std::vector<Name> names{
        Name("toggleFocus", Shortcut(Key::f, Flags::shift | Flags::command)),
        Name("showPanel", Shortcut(Key::d, Flags::shift | Flags::command)),
        Name("newCover", Shortcut(Key::n, Flags::option | Flags::command)),
        Name("strongerFocus", Shortcut(Key::upArrow, Flags::option | Flags::command)),
        Name("weakerFocus", Shortcut(Key::downArrow, Flags::option | Flags::command)),
        Name("moreBlur", Shortcut(Key::upArrow, Flags::control | Flags::option | Flags::command)),
        Name("lessBlur", Shortcut(Key::downArrow, Flags::control | Flags::option | Flags::command)),
    };
    for (const auto& name : names) onKeyDown(name, record(name.rawValue));
    disable({names[3], names[4], names[5], names[6]});
    enable({names[0], names[1], names[2]});
    EXPECT_EQ(hotKeys().registrations().size(), 3u);
    EXPECT_EQ(defaults().string("GlobalShortcuts_lessBlur"),
              R"({"carbonKeyCode":125,"carbonModifiers":6400})");

    EXPECT_TRUE(type(*names[0].initialShortcut));
    EXPECT_TRUE(type(*names[2].initialShortcut));
    EXPECT_FALSE(type(*names[3].initialShortcut));
    enable({names[3], names[4], names[5], names[6]});
    EXPECT_TRUE(type(*names[6].initialShortcut));
    EXPECT_EQ(log, (std::vector<std::string>{"toggleFocus", "newCover", "lessBlur"}));
    for (const auto& name : names) EXPECT_TRUE(isEnabled(name)) << name.rawValue;
    EXPECT_TRUE(changed.empty());
}

TEST_F(RegistryTest, KeyDownAndKeyUpHandlersRunInOrderAndAReleaseEndsThePressOfItsKey) {
    const Name name("toggleFocus", commandShiftF);
    onKeyDown(name, record("down 1"));
    onKeyDown(name, record("down 2"));
    onKeyUp(name, record("up"));
    EXPECT_TRUE(press(commandShiftF));
    // Command and Shift are let go before F: the release still belongs to the press.
    release(commandShiftF);
    EXPECT_EQ(log, (std::vector<std::string>{"down 1", "down 2", "up"}));
    // The same key with other modifiers is an ordinary key.
    EXPECT_FALSE(type(Shortcut(Key::f, Flags::command)));
}

TEST_F(RegistryTest, NamesStoringOneShortcutShareItsHotKey) {
    const Name first("first", commandShiftF);
    const Name second("second", commandShiftF);
    onKeyDown(first, record("first"));
    onKeyDown(second, record("second"));
    EXPECT_EQ(hotKeys().registrations().size(), 1u);
    EXPECT_TRUE(type(commandShiftF));
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));

    disable({first});
    EXPECT_TRUE(isRegistered(commandShiftF));
    EXPECT_TRUE(type(commandShiftF));
    EXPECT_EQ(log.back(), "second");
    EXPECT_EQ(log.size(), 3u);
    disable({second});
    EXPECT_FALSE(isRegistered(commandShiftF));
    EXPECT_FALSE(isEnabled(first));
}

TEST_F(RegistryTest, StoringAShortcutRegistersItAndChangingItMovesTheHotKey) {
    const Name name("custom");
    onKeyDown(name, record("custom"));
    EXPECT_TRUE(hotKeys().calls().empty());
    EXPECT_FALSE(isEnabled(name));

    setShortcut(commandShiftF, name);
    EXPECT_TRUE(type(commandShiftF));
    EXPECT_EQ(changed, (std::vector<std::string>{"custom"}));

    setShortcut(commandShiftD, name);
    EXPECT_FALSE(isRegistered(commandShiftF));
    EXPECT_FALSE(type(commandShiftF));
    EXPECT_TRUE(type(commandShiftD));

    // Storing the same shortcut again registers it anew, after the old one went.
    setShortcut(commandShiftD, name);
    EXPECT_EQ(hotKeys().registerCount(combination(commandShiftD)), 2u);
    EXPECT_TRUE(type(commandShiftD));
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(changed.size(), 3u);
}

TEST_F(RegistryTest, ClearingStoresFalseForNamesWithADefaultAndResetBringsItBack) {
    const Name name("toggleFocus", commandShiftF);
    onKeyDown(name, record("toggle"));
    setShortcut(std::nullopt, name);
    EXPECT_EQ(defaults().boolValue("GlobalShortcuts_toggleFocus"), false);
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_FALSE(type(commandShiftF));
    setShortcut(std::nullopt, name);
    EXPECT_EQ(changed.size(), 1u);

    // The next launch keeps it cleared.
    const Name nextLaunch("toggleFocus", commandShiftF);
    EXPECT_EQ(getShortcut(nextLaunch), std::nullopt);

    reset({name});
    EXPECT_EQ(getShortcut(name), commandShiftF);
    EXPECT_EQ(changed.size(), 2u);
    EXPECT_TRUE(type(commandShiftF));
    // A name with a default is reset, and announced, even when it holds its default already.
    reset({name});
    EXPECT_EQ(changed.size(), 3u);
}

TEST_F(RegistryTest, NamesWithoutADefaultLoseTheirValueAndAnAbsentValueIsNotAnnounced) {
    const Name name("custom");
    setShortcut(std::nullopt, name);
    reset({name});
    EXPECT_TRUE(changed.empty());
    setShortcut(commandShiftF, name);
    setShortcut(std::nullopt, name);
    EXPECT_FALSE(defaults().object("GlobalShortcuts_custom"));
    EXPECT_EQ(changed.size(), 2u);
    setShortcut(commandShiftF, name);
    reset({name});
    EXPECT_FALSE(defaults().object("GlobalShortcuts_custom"));
    EXPECT_EQ(changed.size(), 4u);
}

TEST_F(RegistryTest, StoredValuesAreReadAfreshAndSurviveTheNextLaunch) {
    const Name name("toggleFocus", commandShiftF);
    EXPECT_EQ(getShortcut(name), commandShiftF);
    // Written by someone else: seen at the next read.
    defaults().set("GlobalShortcuts_toggleFocus", commandShiftD.jsonText());
    EXPECT_EQ(getShortcut(name), commandShiftD);

    talvori::platform().destroyServicesForTesting();
    const Name nextLaunch("toggleFocus", commandShiftF);
    onKeyDown(nextLaunch, record("toggle"));
    EXPECT_TRUE(type(commandShiftD));
    EXPECT_FALSE(type(commandShiftF));
    EXPECT_EQ(log, (std::vector<std::string>{"toggle"}));
}

TEST_F(RegistryTest, StoredNamesAndResetAll) {
    const Name withDefault("toggleFocus", commandShiftF);
    const Name custom("custom");
    setShortcut(commandShiftD, custom);
    defaults().set("GlobalShortcuts_cleared", false);
    defaults().set("Unrelated", "x");
    const auto names = storedNames();
    EXPECT_EQ(names, (std::set<Name>{Name::fromRawValue("cleared"), Name::fromRawValue("custom"),
                                     Name::fromRawValue("toggleFocus")}));
    changed.clear();
    resetAll();
    EXPECT_TRUE(storedNames().empty());
    EXPECT_EQ(changed, (std::vector<std::string>{"cleared", "custom", "toggleFocus"}));
    EXPECT_EQ(getShortcut(withDefault), std::nullopt);
    EXPECT_TRUE(defaults().object("Unrelated"));
}

TEST_F(RegistryTest, BadStoredValuesReadAsNoShortcutAndStayUntouched) {
    const std::vector<talvori::DefaultsValue> bad{
        true,
        3,
        2.5,
        "not json",
        R"({"carbonKeyCode":3})",
        R"({"carbonKeyCode":"3","carbonModifiers":256})",
        R"([3,256])",
        talvori::Data{'{', '}'},
        talvori::DefaultsValue::Array{1, 2},
    };
    const Name name = Name::fromRawValue("toggleFocus");
    for (const auto& value : bad) {
        defaults().set("GlobalShortcuts_toggleFocus", value);
        const auto writes = defaults().writeCount();
        const Name again("toggleFocus", commandShiftF);
        onKeyDown(name, record("toggle"));
        EXPECT_EQ(getShortcut(name), std::nullopt);
        enable({name});
        EXPECT_FALSE(isEnabled(name));
        EXPECT_EQ(defaults().writeCount(), writes);
        EXPECT_EQ(defaults().object("GlobalShortcuts_toggleFocus"), value);
    }
    EXPECT_TRUE(hotKeys().registrations().empty());
}

TEST_F(RegistryTest, OutOfRangeStoredCodesRegisterNothing) {
    const Name name("custom");
    onKeyDown(name, record("custom"));
    for (const char* stored : {R"({"carbonKeyCode":4294967299,"carbonModifiers":256})",
                               R"({"carbonKeyCode":-3,"carbonModifiers":256})",
                               R"({"carbonKeyCode":3,"carbonModifiers":4294967552})"}) {
        defaults().set("GlobalShortcuts_custom", stored);
        enable({name});
        EXPECT_TRUE(getShortcut(name));
        EXPECT_FALSE(isEnabled(name)) << stored;
    }
    EXPECT_TRUE(hotKeys().calls().empty());
    EXPECT_FALSE(type(Shortcut(Key::f, Flags::command)));
}

TEST_F(RegistryTest, SwitchingOffKeepsEveryHotKeyAndPausingSilencesDispatch) {
    const Name name("toggleFocus", commandShiftF);
    onKeyDown(name, record("toggle"));
    setEnabled(false);
    setEnabled(false);
    EXPECT_FALSE(isRegistered(commandShiftF));
    EXPECT_FALSE(isEnabled(name));
    EXPECT_FALSE(type(commandShiftF));
    setEnabled(true);
    EXPECT_TRUE(isEnabled(name));
    EXPECT_TRUE(type(commandShiftF));

    setPaused(true);
    EXPECT_FALSE(isRegistered(commandShiftF));
    setPaused(false);
    EXPECT_TRUE(isRegistered(commandShiftF));
    // A paused registry calls nothing even when an event arrives.
    setPaused(true);
    EXPECT_TRUE(isEnabled(name));
    hotKeys().deliver({talvori::HotKeyEventKind::pressed, {0x5251484B, 1}});
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(RegistryTest, RemovingHandlersReleasesHotKeysNoLongerNeeded) {
    const Name first("first", commandShiftF);
    const Name second("second", commandShiftD);
    onKeyDown(first, record("first"));
    onKeyUp(second, record("second"));
    removeHandler(first);
    EXPECT_FALSE(isRegistered(commandShiftF));
    EXPECT_TRUE(isRegistered(commandShiftD));
    removeHandler(Name::fromRawValue("never used"));
    removeAllHandlers();
    EXPECT_TRUE(hotKeys().registrations().empty());
}

TEST_F(RegistryTest, ActionsMayChangeTheRegistryWhileTheyAreDispatched) {
    const Name toggleFocus("toggleFocus", commandShiftF);
    const std::vector<Name> focusNames{
        Name("strongerFocus", Shortcut(Key::upArrow, Flags::option | Flags::command)),
        Name("weakerFocus", Shortcut(Key::downArrow, Flags::option | Flags::command)),
        Name("moreBlur", Shortcut(Key::upArrow, Flags::control | Flags::option | Flags::command)),
        Name("lessBlur",
             Shortcut(Key::downArrow, Flags::control | Flags::option | Flags::command))};
    for (const auto& name : focusNames) onKeyDown(name, record(name.rawValue));
    disable(focusNames);
    // The toggle enables the four names, registering four hot keys, during its own dispatch;
    // a handler it adds applies from the next press.
    onKeyDown(toggleFocus, [&] {
        log.push_back("toggle");
        enable(focusNames);
        onKeyDown(toggleFocus, record("added"));
    });
    EXPECT_TRUE(type(commandShiftF));
    EXPECT_EQ(log, (std::vector<std::string>{"toggle"}));
    EXPECT_EQ(hotKeys().registrations().size(), 5u);
    EXPECT_TRUE(type(*focusNames[1].initialShortcut));
    EXPECT_EQ(log.back(), "weakerFocus");

    // An action that clears its own shortcut drops the last owner of the hot key that is firing.
    const Name selfClearing("selfClearing", optionCommandN);
    onKeyDown(selfClearing, [&] {
        setShortcut(std::nullopt, selfClearing);
        log.push_back("cleared");
    });
    onKeyDown(selfClearing, record("second action"));
    EXPECT_TRUE(type(optionCommandN));
    // The press was dispatched to the name's whole list as it stood.
    EXPECT_EQ(log, (std::vector<std::string>{"toggle", "weakerFocus", "cleared", "second action"}));
    EXPECT_FALSE(isRegistered(optionCommandN));
    EXPECT_EQ(hotKeys().unregisterCount(combination(optionCommandN)), 1u);

    // Storing its own shortcut again frees the combination before registering it anew.
    const Name restoring("restoring", commandShiftD);
    int presses = 0;
    onKeyDown(restoring, [&] {
        ++presses;
        setShortcut(commandShiftD, restoring);
    });
    EXPECT_TRUE(type(commandShiftD));
    EXPECT_TRUE(type(commandShiftD));
    EXPECT_EQ(presses, 2);

    // Shutting down from inside an action.
    onKeyDown(toggleFocus, [&] { removeAllHandlers(); });
    EXPECT_TRUE(type(commandShiftF));
    EXPECT_TRUE(hotKeys().registrations().empty());
}

}  // namespace
}  // namespace GlobalShortcuts

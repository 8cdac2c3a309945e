#include <gtest/gtest.h>

#include <unordered_set>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/HotKeyCenter.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcutsTest.hpp"

namespace GlobalShortcuts {
namespace {

class NameTest : public testing::GlobalShortcutsTest {
  protected:
    talvori::UserDefaults& defaults() const { return talvori::platform().userDefaults(); }
};

TEST_F(NameTest, IdentityIsTheTextAlone) {
    const Name first("a", Shortcut(Key::a, 0));
    const Name second("a", Shortcut(Key::b, 0));
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::hash<Name>{}(first), std::hash<Name>{}(second));
    EXPECT_NE(Name("a"), Name("b"));
    EXPECT_EQ((std::unordered_set<Name>{first, second}).size(), 1u);
    EXPECT_EQ(first.defaultShortcut(), Shortcut(Key::a, 0));
    EXPECT_EQ(Name::fromRawValue("a").defaultShortcut(), std::nullopt);
}

TEST_F(NameTest, TheDefaultIsWrittenOnlyIntoAnEmptySlotWithoutNotification) {
    int notifications = 0;
    auto token = talvori::platform().notificationCenter().addObserver(
        "GlobalShortcuts_shortcutByNameDidChange", nullptr,
        talvori::NotificationDelivery::synchronous, [&](const auto&) { ++notifications; });

    const Name toggleFocus("toggleFocus", Shortcut(3, 0x300));
    EXPECT_EQ(defaults().string("GlobalShortcuts_toggleFocus"),
              R"({"carbonKeyCode":3,"carbonModifiers":768})");
    // The next launch with another default keeps the first value.
    const Name nextLaunch("toggleFocus", Shortcut(2, 0x300));
    EXPECT_EQ(nextLaunch.shortcut(), Shortcut(3, 0x300));

    for (const auto& stored : {talvori::DefaultsValue(false), talvori::DefaultsValue("garbage"),
                               talvori::DefaultsValue(7)}) {
        defaults().set("GlobalShortcuts_other", stored);
        const Name other("other", Shortcut(Key::o, 0x100));
        EXPECT_EQ(defaults().object("GlobalShortcuts_other"), stored);
        EXPECT_EQ(other.shortcut(), std::nullopt);
    }
    EXPECT_EQ(notifications, 0);
}

TEST_F(NameTest, NamesWithoutADefaultOrFromARawValueWriteNothing) {
    const auto writes = defaults().writeCount();
    const Name plain("plain");
    for (int i = 0; i < 3; ++i) (void)Name::fromRawValue("raw");
    EXPECT_EQ(defaults().writeCount(), writes);
    EXPECT_FALSE(defaults().object("GlobalShortcuts_plain"));
}

TEST_F(NameTest, MakingNamesStartsTheLibraryOnceOnALaterTurn) {
    (void)Name::fromRawValue("raw");
    runUntilIdle();
    EXPECT_EQ(HotKeyCenter::existing(), nullptr);
    const Name first("first", Shortcut(Key::a, 0x100));
    const Name second("second");
    EXPECT_EQ(HotKeyCenter::existing(), nullptr);
    runUntilIdle();
    const auto* center = HotKeyCenter::existing();
    ASSERT_NE(center, nullptr);
    const Name third("third");
    runUntilIdle();
    EXPECT_EQ(HotKeyCenter::existing(), center);
}

TEST_F(NameTest, NotificationReadersCheckTheirEntrysType) {
    talvori::Notification notification;
    EXPECT_FALSE(isActive(notification));
    notification.userInfo["isActive"] = 1;
    EXPECT_FALSE(isActive(notification));
    notification.userInfo["isActive"] = true;
    EXPECT_TRUE(isActive(notification));
}

TEST_F(NameTest, ShortcutNameReadsOnlyANameEntry) {
    talvori::Notification notification;
    EXPECT_EQ(shortcutName(notification), std::nullopt);
    notification.userInfo["name"] = std::string("toggleFocus");
    EXPECT_EQ(shortcutName(notification), std::nullopt);
    notification.userInfo["name"] = Name::fromRawValue("toggleFocus");
    EXPECT_EQ(shortcutName(notification), Name::fromRawValue("toggleFocus"));
}

}  // namespace
}  // namespace GlobalShortcuts

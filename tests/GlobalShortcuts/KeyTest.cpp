#include <gtest/gtest.h>

#include <unordered_set>

#include "GlobalShortcuts/FunctionKeys.hpp"
#include "GlobalShortcuts/Key.hpp"

namespace GlobalShortcuts {
namespace {

TEST(KeyTest, ConstantsAreThePlatformCodesIncludingTheOutOfOrderOnes) {
    EXPECT_EQ(Key(0), Key::a);
    EXPECT_EQ(Key::s.rawValue, 1);
    EXPECT_EQ(Key::b.rawValue, 11);
    EXPECT_EQ(Key::five.rawValue, 23);
    EXPECT_EQ(Key::six.rawValue, 22);
    EXPECT_EQ(Key::f3.rawValue, 99);
    EXPECT_EQ(Key::f4.rawValue, 118);
    EXPECT_EQ(Key::f17.rawValue, 64);
    EXPECT_EQ(Key::f20.rawValue, 90);
    EXPECT_EQ(Key::keypad8.rawValue, 91);
    EXPECT_EQ(Key::keypad9.rawValue, 92);
    EXPECT_EQ(Key::returnKey.rawValue, 36);
    EXPECT_EQ(Key::deleteKey.rawValue, 51);
    EXPECT_EQ(Key::rightCommand.rawValue, 54);
    EXPECT_EQ(Key::function.rawValue, 63);
    // The application's defaults sit on these.
    EXPECT_EQ(Key::f.rawValue, 3);
    EXPECT_EQ(Key::d.rawValue, 2);
    EXPECT_EQ(Key::n.rawValue, 45);
    EXPECT_EQ(Key::upArrow.rawValue, 126);
    EXPECT_EQ(Key::downArrow.rawValue, 125);
}

TEST(KeyTest, AnyCodeIsAKeyEqualToNoConstantItDoesNotName) {
    const Key unnamed(1000);
    EXPECT_EQ(unnamed.rawValue, 1000);
    for (const auto& named : {Key::a, Key::f20, Key::keypadPlus, Key::upArrow}) {
        EXPECT_NE(unnamed, named);
    }
    std::unordered_set<Key> keys{Key(0), Key::a, Key(1000)};
    EXPECT_EQ(keys.size(), 2u);
}

TEST(KeyTest, FnFlagKeysAreExactlyTheFunctionNavigationAndClearKeys) {
    const auto& keys = Key::fnFlagKeys();
    EXPECT_EQ(keys.size(), 31u);
    for (const auto& key : {Key::f1, Key::f12, Key::f17, Key::f20, Key::help, Key::deleteForward,
                            Key::keypadClear, Key::home, Key::end, Key::pageUp, Key::pageDown,
                            Key::upArrow, Key::rightArrow, Key::downArrow, Key::leftArrow}) {
        EXPECT_TRUE(Key::isFnFlagKey(key.rawValue)) << key.rawValue;
    }
    for (const auto& key : {Key::deleteKey, Key::returnKey, Key::escape, Key::keypad0, Key::keypad8,
                            Key::keypadEnter, Key::a, Key::space}) {
        EXPECT_FALSE(Key::isFnFlagKey(key.rawValue)) << key.rawValue;
    }
}

TEST(FunctionKeysTest, AreF1ToF35) {
    EXPECT_EQ(FunctionKeys::all().size(), 35u);
    EXPECT_TRUE(FunctionKeys::contains(talvori::SpecialKey::f1));
    EXPECT_TRUE(FunctionKeys::contains(*talvori::Event::specialKeyForKeyCode(90)));
    EXPECT_FALSE(FunctionKeys::contains(talvori::SpecialKey::help));
    EXPECT_FALSE(FunctionKeys::contains(talvori::SpecialKey::escape));
}

}  // namespace
}  // namespace GlobalShortcuts

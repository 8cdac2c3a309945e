#include <gtest/gtest.h>

#include "GlobalShortcuts/CarbonModifiers.hpp"
#include "GlobalShortcuts/Key.hpp"
#include "platform/desktop/Event.hpp"

namespace GlobalShortcuts {
namespace {

using Flags = talvori::ModifierFlags;

TEST(CarbonModifiersTest, FlagsConvertToTheFiveCarbonBitsOnly) {
    EXPECT_EQ(CarbonModifiers::fromFlags(Flags::command | Flags::shift), 0x300);
    EXPECT_EQ(CarbonModifiers::fromFlags(Flags::control | Flags::option | Flags::command), 0x1900);
    EXPECT_EQ(CarbonModifiers::fromFlags(Flags::capsLock), 0);
    EXPECT_EQ(CarbonModifiers::fromFlags(Flags::numericPad | Flags::help), 0);
    EXPECT_EQ(CarbonModifiers::fromFlags(Flags::function), 0x20000);
    // Only the low 32 bits are read.
    EXPECT_EQ(CarbonModifiers::fromFlags((std::uint64_t{1} << 40) | Flags::shift), 0x200);
}

TEST(CarbonModifiersTest, CarbonConvertsBackWithoutForeignBits) {
    EXPECT_EQ(CarbonModifiers::toFlags(0x300), Flags::command | Flags::shift);
    EXPECT_EQ(CarbonModifiers::toFlags(0x400), 0u);
    EXPECT_EQ(CarbonModifiers::toFlags((std::int64_t{1} << 40) | 0x100), Flags::command);
    for (const std::int64_t mask : {0x0LL, 0x400LL, 0x20100LL, 0xFFFFFFFFLL, -1LL, 0x1900LL}) {
        EXPECT_EQ(CarbonModifiers::normalized(mask) & ~0x21B00LL, 0) << mask;
        EXPECT_EQ(CarbonModifiers::normalized(CarbonModifiers::normalized(mask)),
                  CarbonModifiers::normalized(mask));
    }
    EXPECT_EQ(CarbonModifiers::normalized(0x20100), 0x20100);
}

TEST(CarbonModifiersTest, FnIsIgnoredForComparisonOnlyOnFnFlagKeys) {
    EXPECT_EQ(CarbonModifiers::forComparison(Key::f5.rawValue, 0x20100), 0x100);
    EXPECT_EQ(CarbonModifiers::forComparison(Key::a.rawValue, 0x20100), 0x20100);
    EXPECT_EQ(CarbonModifiers::forComparison(Key::upArrow.rawValue, 0x20400), 0);
}

TEST(CarbonModifiersTest, SymbolsFollowAFixedOrder) {
    EXPECT_EQ(CarbonModifiers::symbolicRepresentation(Flags::command | Flags::shift),
              "\u21E7\u2318");
    EXPECT_EQ(
        CarbonModifiers::symbolicRepresentation(Flags::control | Flags::option | Flags::shift |
                                                Flags::command | Flags::function | Flags::capsLock),
        "\u2303\u2325\u21E7\u2318\U0001F310\uFE0E");
    EXPECT_EQ(CarbonModifiers::symbolicRepresentation(0), "");
}

}  // namespace
}  // namespace GlobalShortcuts

#include <unistd.h>

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11DesktopTest.hpp"

namespace talvori::testing {
namespace {

class X11WindowsTest : public X11DesktopTest {};

TEST_F(X11WindowsTest, WindowListShowsOtherProgramsFrontToBackWithTheirProcessNameAndFrame) {
    const auto back = openClient("Back", 100, 100, 300, 200, 0x3366cc);
    const auto front = openClient("Front", 500, 300, 320, 240, 0xcc6633, false);
    const auto list = platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly);
    ASSERT_TRUE(list);
    std::vector<std::uint32_t> numbers;
    for (const auto& info : *list) numbers.push_back(info.number.value_or(0));
    const auto frontAt = std::find(numbers.begin(), numbers.end(), front.window);
    const auto backAt = std::find(numbers.begin(), numbers.end(), back.window);
    ASSERT_NE(frontAt, numbers.end());
    ASSERT_NE(backAt, numbers.end());
    EXPECT_LT(frontAt, backAt);
    const WindowInfo& info = (*list)[static_cast<std::size_t>(frontAt - numbers.begin())];
    // A client that does not publish its process is still found through the server.
    EXPECT_EQ(info.ownerPID, front.pid);
    EXPECT_EQ(info.ownerName, "Front");
    EXPECT_EQ(info.name, "Front");
    EXPECT_EQ(info.layer, 0);
    // The frame, decorations included, measured from the first monitor's top left.
    const auto frame = driver().rootGeometry(driver().frameOf(front.window));
    ASSERT_EQ(frame.size(), 4U);
    EXPECT_EQ(info.bounds, Rect(frame[0], frame[1], frame[2], frame[3]));
    EXPECT_GE(info.bounds->width(), 320);
}

}  // namespace
}  // namespace talvori::testing

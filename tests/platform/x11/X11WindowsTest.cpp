#include <unistd.h>

#include <algorithm>
#include <optional>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11DesktopTest.hpp"

namespace talvori::testing {
namespace {

class X11WindowsTest : public X11DesktopTest {
  protected:
    std::optional<WindowInfo> listed(xcb_window_t window) {
        const auto list = platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly);
        if (!list) return std::nullopt;
        for (const auto& info : *list) {
            if (info.number == window) return info;
        }
        return std::nullopt;
    }
};

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

// What the program learnt of a window stays true only as long as the server says nothing new.
TEST_F(X11WindowsTest, WindowListFollowsRenamesMovesAndDepartures) {
    const auto client = openClient("Before", 100, 100, 300, 200, 0x3366cc);
    const auto before = listed(client.window);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->name, "Before");

    driver().retitle(client.window, "After");
    driver().move(client.window, 400, 300);
    const Rect moved(before->bounds->minX() + 300, before->bounds->minY() + 200,
                     before->bounds->width(), before->bounds->height());
    EXPECT_TRUE(runUntil([&] {
        const auto now = listed(client.window);
        return now && now->name == "After" && now->bounds == moved;
    }));

    session().end(client.pid);
    EXPECT_TRUE(runUntil([&] { return !listed(client.window); }));
}

}  // namespace
}  // namespace talvori::testing

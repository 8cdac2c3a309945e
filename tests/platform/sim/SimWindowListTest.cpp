#include <gtest/gtest.h>

#include "platform/desktop/WindowLevel.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class SimWindowListTest : public SimDesktopTest {
  protected:
    std::int32_t editor = world().launchApplication("Editor", "org.example.editor");

    std::optional<WindowInfo> entry(std::uint32_t number, unsigned options) const {
        const auto list = platform().windowList().copyWindowInfo(options);
        if (!list) return std::nullopt;
        for (const auto& info : *list) {
            if (info.number == number) return info;
        }
        return std::nullopt;
    }
};

TEST_F(SimWindowListTest, EntriesCarryOwnerLayerAlphaAndTopLeftBounds) {
    const auto number =
        world().openWindow(editor, "Notes", {100, 200, 300, 400}, {0, false, false, 0.5});
    const auto info = entry(number, WindowListOption::onScreenOnly);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ownerPID, editor);
    EXPECT_EQ(info->ownerName, "Editor");
    EXPECT_EQ(info->layer, 0);
    EXPECT_EQ(info->alpha, 0.5);
    // 900 - (200 + 400) = 300 from the top of the first screen.
    EXPECT_EQ(info->bounds, Rect(100, 300, 300, 400));
}

TEST_F(SimWindowListTest, OtherProcessesNamesNeedTheGrantOursNever) {
    const auto number = world().openWindow(editor, "Notes", {0, 0, 10, 10});
    auto panel = makePanel({0, 0, 10, 10});
    panel->setTitle("Cover");
    panel->orderFront();
    EXPECT_FALSE(entry(number, WindowListOption::onScreenOnly)->name.has_value());
    EXPECT_EQ(entry(panel->windowNumber(), WindowListOption::onScreenOnly)->name, "Cover");
    desktop().windowList().setScreenRecordingGranted(true);
    EXPECT_EQ(entry(number, WindowListOption::onScreenOnly)->name, "Notes");
}

TEST_F(SimWindowListTest, CountsTheReadsThatWouldAskForTheGrant) {
    auto& list = desktop().windowList();
    list.copyWindowInfo(WindowListOption::onScreenOnly);
    list.copyWindowInfo(WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    EXPECT_EQ(list.grantRequestCount(), 1);
    EXPECT_EQ(list.readCount(), 2);
    list.setScreenRecordingGranted(true);
    list.copyWindowInfo(WindowListOption::onScreenOnly);
    EXPECT_EQ(list.grantRequestCount(), 1);
}

TEST_F(SimWindowListTest, OptionsSelectOnScreenWindowsAndDesktopElements) {
    const auto shown = world().openWindow(editor, "Shown", {0, 0, 10, 10});
    const auto hidden = world().openWindow(editor, "Hidden", {0, 0, 10, 10});
    world().setWindowOnScreen(hidden, false);
    const auto all = platform().windowList().copyWindowInfo(WindowListOption::all);
    const auto onScreen = platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly);
    const auto noDesktop = platform().windowList().copyWindowInfo(
        WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    EXPECT_EQ(all->size(), 4u);  // menu bar, desktop picture, both windows
    EXPECT_EQ(onScreen->size(), 3u);
    EXPECT_EQ(noDesktop->size(), 2u);
    EXPECT_FALSE(all->back().isOnScreen);
    EXPECT_EQ(all->back().number, hidden);
    EXPECT_TRUE(entry(shown, WindowListOption::onScreenOnly).has_value());
}

TEST_F(SimWindowListTest, FailureGivesNoListAndEditsReachSingleEntries) {
    const auto number = world().openWindow(editor, "Notes", {0, 0, 10, 10});
    world().window(number)->editListEntry = [](WindowInfo& info) {
        info.ownerPID.reset();
        info.bounds.reset();
    };
    const auto edited = entry(number, WindowListOption::onScreenOnly);
    EXPECT_FALSE(edited->ownerPID.has_value());
    EXPECT_FALSE(edited->bounds.has_value());
    desktop().windowList().setFailing(true);
    EXPECT_FALSE(platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly));
}

TEST_F(SimWindowListTest, HigherLevelsComeFirstWhateverTheOrder) {
    auto floating = makePanel({0, 0, 10, 10});
    floating->setLevel(WindowLevel::floating);
    floating->orderFront();
    const auto normal = world().openWindow(editor, "Normal", {0, 0, 10, 10});
    world().activateApplication(editor);
    const auto order = windowNumbersFrontToBack();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[1], floating->windowNumber());
    EXPECT_EQ(order[2], normal);
}

}  // namespace
}  // namespace talvori

#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using sim::SimWorld;

class SimFocusNotificationTest : public testing::SimDesktopTest {
  protected:
    SimFocusNotificationTest() {
        world().openWindow(editor, "E1", {0, 0, 100, 100});
        world().activateApplication(editor);
        runUntilIdle();
        observer = *platform()
                        .accessibility()
                        .createObserver(editor,
                                        [this](const AXElement& element, const std::string&) {
                                            received.push_back(element);
                                        })
                        .value;
        const auto application = platform().accessibility().applicationElement(editor);
        observer->addNotification(application, AXNotification::focusedWindowChanged);
        observer->addNotification(application, AXNotification::moved);
        observer->start();
    }

    std::int32_t editor = world().launchApplication("Editor");
    std::shared_ptr<AXObserver> observer;
    std::vector<AXElement> received;
};

TEST_F(SimFocusNotificationTest, FocusChangesCanCarryTheApplicationInsteadOfTheWindow) {
    world().setFocusNotificationElement(SimWorld::FocusNotificationElement::application);
    const auto e2 = world().openWindow(editor, "E2", {50, 50, 100, 100});
    world().focusWindow(e2);
    world().moveWindow(e2, {60, 60});
    runUntilIdle();
    const AXElement application = platform().accessibility().applicationElement(editor);
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received.front(), application);
    // Other notifications still carry their window.
    EXPECT_EQ(received.back(), (AXElement{AXElement::Kind::window, editor, e2}));
    const auto focused = platform().accessibility().focusedWindow(received[0]);
    ASSERT_TRUE(focused.ok());
    EXPECT_EQ(platform().accessibility().windowNumber(*focused.value).value, e2);
}

}  // namespace
}  // namespace talvori

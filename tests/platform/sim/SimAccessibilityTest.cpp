#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class SimAccessibilityTest : public SimDesktopTest {
  protected:
    Accessibility& ax() const { return platform().accessibility(); }

    std::int32_t editor = world().launchApplication("Editor");
    std::uint32_t e1 = world().openWindow(editor, "E1", {100, 200, 300, 400});
    std::uint32_t e2 = world().openWindow(editor, "E2", {0, 0, 100, 100});
    AXElement app = ax().applicationElement(editor);
    AXElement window1{AXElement::Kind::window, editor, e1};

    std::vector<std::string> received;

    std::shared_ptr<AXObserver> observe(std::initializer_list<const char*> names,
                                        const AXElement& element) {
        auto created =
            ax().createObserver(editor, [this](const AXElement& window, const std::string& name) {
                received.push_back(name + " " + std::to_string(window.identifier));
            });
        EXPECT_TRUE(created.ok());
        auto observer = *created.value;
        for (const char* name : names) {
            EXPECT_EQ(observer->addNotification(element, name), AXError::success);
        }
        observer->start();
        return observer;
    }
};

TEST_F(SimAccessibilityTest, ReadsFocusWindowsAndTopLeftGeometry) {
    world().activateApplication(editor);
    EXPECT_EQ(ax().focusedApplication().value, app);
    world().focusWindow(e1);
    const auto focused = ax().focusedWindow(app);
    ASSERT_TRUE(focused.ok());
    EXPECT_EQ(ax().windowNumber(*focused.value).value, e1);
    EXPECT_EQ(ax().position(*focused.value).value, (Point{100, 300}));
    EXPECT_EQ(ax().size(*focused.value).value, (Size{300, 400}));
    const auto windows = ax().windows(app);
    ASSERT_TRUE(windows.ok());
    EXPECT_EQ(windows.value->size(), 2u);
    EXPECT_EQ(ax().pid(*focused.value).value, editor);
}

TEST_F(SimAccessibilityTest, MissingValuesAndFailuresAreReportedAsErrors) {
    EXPECT_EQ(ax().focusedApplication().error, AXError::noValue) << "nothing activated yet";
    const auto empty = world().launchApplication("Empty");
    EXPECT_EQ(ax().focusedWindow(ax().applicationElement(empty)).error, AXError::noValue);
    desktop().accessibility().injectError(app, AXAttribute::focusedWindow, AXError::cannotComplete);
    EXPECT_EQ(ax().focusedWindow(app).error, AXError::cannotComplete);
    desktop().accessibility().clearError(app, AXAttribute::focusedWindow);
    EXPECT_TRUE(ax().focusedWindow(app).ok());
    world().process(editor)->isAccessible = false;
    EXPECT_EQ(ax().position(window1).error, AXError::cannotComplete);
    world().process(editor)->isAccessible = true;
    world().closeWindow(e1);
    EXPECT_EQ(ax().position(window1).error, AXError::invalidUIElement);
    EXPECT_EQ(ax().copyAttributeValue(app, "AXNothing").error, AXError::attributeUnsupported);
}

TEST_F(SimAccessibilityTest, WithoutTrustEverythingFailsAndThePromptIsRecorded) {
    desktop().accessibility().setTrusted(false);
    EXPECT_FALSE(ax().isProcessTrusted());
    EXPECT_EQ(ax().focusedWindow(app).error, AXError::apiDisabled);
    EXPECT_FALSE(ax().createObserver(editor, {}).ok());
    ax().promptForTrust();
    EXPECT_EQ(desktop().accessibility().trustPromptCount(), 1);
    desktop().accessibility().setTrusted(true);
    EXPECT_TRUE(ax().focusedWindow(app).ok());
}

TEST_F(SimAccessibilityTest, WindowNumberLookupCanFail) {
    desktop().accessibility().failWindowNumber(window1);
    EXPECT_FALSE(ax().windowNumber(window1).ok());
    EXPECT_TRUE(ax().windowNumber({AXElement::Kind::window, editor, e2}).ok());
    desktop().accessibility().setWindowNumberUnavailable(true);
    EXPECT_FALSE(ax().windowNumber({AXElement::Kind::window, editor, e2}).ok());
    EXPECT_FALSE(ax().windowNumber(app).ok());
}

TEST_F(SimAccessibilityTest, MovesArriveOnTheMainLoopAfterTheChange) {
    auto observer = observe({AXNotification::moved, AXNotification::resized}, window1);
    world().moveWindow(e1, {150, 200});
    EXPECT_TRUE(received.empty()) << "never inside the change";
    runUntilIdle();
    EXPECT_EQ(received, (std::vector<std::string>{"AXMoved " + std::to_string(e1)}));
    world().moveWindow(e2, {10, 10});
    world().resizeWindow(e1, {10, 10});
    runUntilIdle();
    EXPECT_EQ(received.back(), "AXResized " + std::to_string(e1));
    EXPECT_EQ(received.size(), 2u) << "the other window is not observed";
}

TEST_F(SimAccessibilityTest, TheDelayHoldsNotificationsBackAndStopEndsThem) {
    world().timing().accessibilityNotificationDelay = 0.05;
    auto observer = observe({AXNotification::moved}, app);
    world().moveWindow(e2, {10, 10});
    advance(0.049);
    EXPECT_TRUE(received.empty());
    advance(0.001);
    EXPECT_EQ(received.size(), 1u) << "the application element covers its windows";
    world().moveWindow(e2, {20, 20});
    observer->stop();
    advance(1);
    EXPECT_EQ(received.size(), 1u) << "nothing after the source is removed, even if already due";
}

TEST_F(SimAccessibilityTest, FocusChangesDeliverTheWindowThatGainedFocus) {
    world().activateApplication(editor);
    auto observer =
        observe({AXNotification::focusedWindowChanged, AXNotification::mainWindowChanged}, app);
    world().focusWindow(e1);
    world().focusWindow(e1);
    runUntilIdle();
    EXPECT_EQ(received, (std::vector<std::string>{"AXFocusedWindowChanged " + std::to_string(e1),
                                                  "AXMainWindowChanged " + std::to_string(e1)}))
        << "focusing the focused window again is no change";
}

TEST_F(SimAccessibilityTest, ClosingAWindowReportsItsDestruction) {
    auto observer = observe({AXNotification::elementDestroyed}, window1);
    world().closeWindow(e1);
    runUntilIdle();
    EXPECT_EQ(received, (std::vector<std::string>{"AXUIElementDestroyed " + std::to_string(e1)}));
}

TEST_F(SimAccessibilityTest, ObserversCanBeRefusedAndRegistrationsChecked) {
    world().process(editor)->refusesObservers = true;
    EXPECT_EQ(ax().createObserver(editor, {}).error, AXError::cannotComplete);
    world().process(editor)->refusesObservers = false;
    auto observer = *ax().createObserver(editor, {}).value;
    EXPECT_EQ(observer->addNotification(window1, AXNotification::moved), AXError::success);
    EXPECT_EQ(observer->addNotification(window1, AXNotification::moved),
              AXError::notificationAlreadyRegistered);
    EXPECT_EQ(observer->addNotification(ax().applicationElement(999), AXNotification::moved),
              AXError::illegalArgument);
    EXPECT_EQ(observer->removeNotification(window1, AXNotification::moved), AXError::success);
    EXPECT_EQ(observer->removeNotification(window1, AXNotification::moved),
              AXError::notificationNotRegistered);
}

}  // namespace
}  // namespace talvori

#include <gtest/gtest.h>

#include "platform/desktop/TitleBar.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

constexpr std::uint16_t kReturn = 36;
constexpr std::uint16_t kEscape = 53;

Alert conflictAlert() {
    Alert alert;
    alert.messageText = "This shortcut is used by the system.";
    alert.informativeText = "You can change it in the system settings.";
    alert.buttons = {"OK", "Use Anyway"};
    return alert;
}

class AlertsTest : public SimDesktopTest {
  protected:
    AlertsTest() {
        window = platform().application().makePanel({200, 200, 600, 400}, StyleMask::titled);
        window->makeKeyAndOrderFront();
    }

    Point centreOf(const Panel& panel) const {
        return {panel.frame().midX(), panel.frame().midY()};
    }

    std::shared_ptr<Panel> window;
    std::vector<long> answers;
};

TEST_F(AlertsTest, ASheetAnswersOnceOnALaterTurnAfterItClosedAndBlocksItsWindowMeanwhile) {
    platform().alerts().beginSheetModal(conflictAlert(), window,
                                        [&](long response) { answers.push_back(response); });
    auto alert = simAlerts().current();
    ASSERT_TRUE(alert && alert->isSheet());
    const auto sheet = alert->window();
    EXPECT_TRUE(sheet->isVisible() && sheet->isKeyWindow());
    EXPECT_EQ(window->blockingWindow(), sheet);
    // It hangs from the window's title bar, centred.
    EXPECT_DOUBLE_EQ(sheet->frame().midX(), window->frame().midX());
    EXPECT_DOUBLE_EQ(sheet->frame().maxY(), window->frame().maxY() - TitleBar::kHeight);

    // A click on the blocked window brings the sheet back to key status and goes no further.
    window->makeKey();
    input().click(centreOf(*window));
    EXPECT_TRUE(sheet->isKeyWindow());

    EXPECT_TRUE(simAlerts().pressButton("Use Anyway"));
    EXPECT_TRUE(sheet->isClosed());
    EXPECT_EQ(window->blockingWindow(), nullptr);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_TRUE(answers.empty());
    alert->respond(Alert::kFirstButtonReturn);
    runUntilIdle();
    EXPECT_EQ(answers, (std::vector<long>{Alert::kSecondButtonReturn}));
    ASSERT_EQ(simAlerts().records().size(), 1u);
    EXPECT_EQ(simAlerts().records()[0].response, Alert::kSecondButtonReturn);
    EXPECT_EQ(simAlerts().records()[0].parentWindow, window->windowNumber());
    EXPECT_EQ(simAlerts().current(), nullptr);
}

TEST_F(AlertsTest, ReturnPressesTheDefaultButtonAndEscapeOnlyAnObviousCancelButton) {
    Alert retry;
    retry.buttons = {"Try Again", "Cancel"};
    platform().alerts().beginSheetModal(retry, window, [&](long r) { answers.push_back(r); });
    input().typeKey(sim::KeyStroke::key(kEscape));
    Alert ambiguous = conflictAlert();
    ambiguous.initialButton = 1;
    platform().alerts().beginSheetModal(ambiguous, window, [&](long r) { answers.push_back(r); });
    input().typeKey(sim::KeyStroke::key(kEscape));
    EXPECT_NE(simAlerts().current(), nullptr) << "Escape must not guess between OK and Use Anyway";
    input().typeKey(sim::KeyStroke::key(kReturn));
    EXPECT_EQ(simAlerts().current(), nullptr);
    Alert plain;
    plain.messageText = "Done";
    platform().alerts().runModal(plain, [&](long r) { answers.push_back(r); });
    EXPECT_EQ(simAlerts().current()->alert().buttonTitles(), std::vector<std::string>{"OK"});
    input().typeKey(sim::KeyStroke::key(kEscape));
    runUntilIdle();
    EXPECT_EQ(answers, (std::vector<long>{1001, 1001, 1000}));
}

TEST_F(AlertsTest, AnApplicationModalAlertStandsAboveAndBlocksEveryOtherWindow) {
    auto other = makePanel({900, 100, 200, 200});
    other->orderFront();
    platform().alerts().runModal(conflictAlert(), [&](long r) { answers.push_back(r); });
    auto alert = simAlerts().current();
    ASSERT_TRUE(alert && !alert->isSheet());
    EXPECT_EQ(alert->window()->level(), WindowLevel::modalPanel);
    EXPECT_EQ(window->blockingWindow(), alert->window());
    EXPECT_EQ(other->blockingWindow(), alert->window());
    alert->pressButton(0);
    EXPECT_EQ(other->blockingWindow(), nullptr);
}

TEST_F(AlertsTest, AnAwaitingTaskGetsTheScriptedAnswersInOrderAndClosingTheWindowStopsTheSheet) {
    simAlerts().scriptAnswers({Alert::kSecondButtonReturn, Alert::kFirstButtonReturn});
    std::vector<std::string> effects;
    auto task = Task::start(loop(), [&]() -> Async {
        effects.push_back("before");
        effects.push_back(
            std::to_string(co_await platform().alerts().present(conflictAlert(), window)));
        effects.push_back(
            std::to_string(co_await platform().alerts().present(conflictAlert(), nullptr)));
        effects.push_back(
            std::to_string(co_await platform().alerts().present(conflictAlert(), window)));
    });
    runUntilIdle();
    EXPECT_EQ(effects, (std::vector<std::string>{"before", "1001", "1000"}));
    EXPECT_FALSE(task.isFinished());
    ASSERT_EQ(simAlerts().records().size(), 3u);
    EXPECT_TRUE(simAlerts().records()[0].isSheet);
    EXPECT_FALSE(simAlerts().records()[1].isSheet);

    window->close();
    runUntilIdle();
    EXPECT_EQ(effects.back(), std::to_string(Alert::kStopResponse));
    EXPECT_TRUE(task.isFinished());
}

}  // namespace
}  // namespace talvori

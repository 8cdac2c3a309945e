#include <gtest/gtest.h>

#include "UiTest.hpp"
#include "platform/desktop/TitleBar.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "platform/sim/SimAlerts.hpp"
#include "ui/AlertView.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {
namespace {

class AlertViewTest : public testing::UiTest {
  protected:
    AlertViewTest() {
        AlertView::install(platform().alerts(),
                           {.textMeasurer = std::make_shared<FixedTextMeasurer>()});
        window = platform().application().makePanel({300, 200, 640, 420}, StyleMask::titled);
        window->setTitle("Settings");
        window->makeKeyAndOrderFront();
    }

    Host& alertHost() const {
        auto alert = desktop().alerts().current();
        return static_cast<PanelHost&>(*alert->window()->hostedContent()).host();
    }

    static Alert conflict() {
        Alert alert;
        alert.messageText = "This shortcut is used by the system.";
        alert.informativeText = "Pick another one, or change it in the system settings.";
        alert.buttons = {"OK", "Use Anyway"};
        return alert;
    }

    std::shared_ptr<Panel> window;
};

TEST_F(AlertViewTest, TheDrawnButtonsAnswerWithTheirResponsesAndTheDefaultOneStandsOut) {
    std::vector<long> answers;
    platform().alerts().beginSheetModal(conflict(), window, [&](long r) { answers.push_back(r); });
    Host& host = alertHost();
    host.updateNow();
    const NodeRef ok = host.find(Query::byLabel("OK"));
    const NodeRef force = host.find(Query::byLabel("Use Anyway"));
    ASSERT_TRUE(ok && force);
    // The first button stands at the trailing edge.
    EXPECT_GT(ok.frame().minX(), force.frame().maxX());
    EXPECT_TRUE(host.find(Query::byText("This shortcut is used by the system.")));

    const auto sheet = desktop().alerts().current()->window();
    const auto picture = sim::ScreenPicture::render(world());
    const Rect okFrame = ok.frame();
    // Beside the title, inside the button's padding.
    const Point inOk{sheet->frame().minX() + okFrame.minX() - 4,
                     sheet->frame().maxY() - okFrame.midY()};
    EXPECT_TRUE(close(picture.colorAt(inOk), Color::rgb255(245, 160, 53)))
        << "the default button is filled with the accent";

    force.click();
    force.click();
    runUntilIdle();
    EXPECT_EQ(answers, (std::vector<long>{Alert::kSecondButtonReturn}));
}

TEST_F(AlertViewTest, TheAlertWindowFitsItsTextUnderTheTitleBar) {
    Alert alert = conflict();
    alert.informativeText = std::string(400, 'x');
    platform().alerts().runModal(alert, [](long) {});
    const auto shown = desktop().alerts().current()->window();
    EXPECT_DOUBLE_EQ(shown->frame().width(), AlertView::kWidth);
    Host& host = alertHost();
    host.updateNow();
    const Rect message = host.find(Query::byText(alert.messageText)).frame();
    EXPECT_GE(message.minY(), TitleBar::kHeight);
    const Rect ok = host.find(Query::byLabel("OK")).frame();
    EXPECT_LE(ok.maxY(), shown->frame().height());
    EXPECT_GT(ok.minY(), host.find(Query::byText(alert.informativeText)).frame().maxY());
}

}  // namespace
}  // namespace talvori::ui

#include <gtest/gtest.h>

#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using sim::SimDesktop;
using sim::SimWorld;

double brightness(const Color& color) {
    return (color.red + color.green + color.blue) / 3;
}

// Two applications with three windows; one is activated; a dark, mouse-transparent panel of ours
// at the normal level sits directly below its focused window over the left half of the screen.
struct Scenario {
    SimDesktop& desktop;
    std::int32_t editor = 0;
    std::int32_t browser = 0;
    std::uint32_t e1 = 0;
    std::uint32_t e2 = 0;
    std::uint32_t b1 = 0;
    std::shared_ptr<Panel> panel;
    std::vector<std::string> axReceived;
    std::vector<std::int32_t> globalClicks;
    std::shared_ptr<AXObserver> observer;
    Registration monitor;

    explicit Scenario(SimDesktop& installed) : desktop(installed) {
        SimWorld& world = desktop.world();
        editor = world.launchApplication("Editor", "org.example.editor");
        browser = world.launchApplication("Browser", "org.example.browser");
        b1 = world.openWindow(browser, "Browser window", {0, 0, 1000, 700});
        e1 = world.openWindow(editor, "Editor back", {600, 100, 500, 500});
        e2 = world.openWindow(editor, "Editor front", {100, 150, 400, 300});
        world.activateApplication(editor);

        panel = platform().application().makePanel({0, 0, 800, 876}, StyleMask::nonactivatingPanel);
        panel->setOpaque(false);
        panel->setBackgroundColor(Color::clear());
        panel->setIgnoresMouseEvents(true);
        panel->setContentLayer({Color::rgb255(21, 24, 32, 0.6), 0});
        panel->orderRelative(WindowOrderingMode::below, e2);

        auto created = platform().accessibility().createObserver(
            editor, [this](const AXElement& window, const std::string& name) {
                axReceived.push_back(name + " " + std::to_string(window.identifier));
            });
        observer = *created.value;
        observer->addNotification({AXElement::Kind::window, editor, e2}, AXNotification::moved);
        observer->start();
        monitor = platform().input().addGlobalMonitor(
            eventMaskBit(EventType::leftMouseDown), [this](const Event&) {
                const auto front = platform().workspace().frontmostApplication();
                globalClicks.push_back(front ? front->processIdentifier : 0);
            });
    }

    void play() {
        desktop.world().moveWindow(e2, {120, 150});
        platform().virtualClock()->runUntilIdle();
        desktop.input().click({300, 650});
        platform().virtualClock()->advance(0.5);
    }
};

class SimDesktopEndToEndTest : public testing::SimDesktopTest {};

TEST_F(SimDesktopEndToEndTest, MostServicesTogether) {
    Scenario scenario(desktop());

    // Front to back: the menu bar, the focused window, our panel right behind it, the rest.
    const auto order = windowNumbersFrontToBack();
    const std::vector<std::uint32_t> expected{
        order.front(), scenario.e2, scenario.panel->windowNumber(), scenario.e1, scenario.b1};
    EXPECT_EQ(order, expected);
    const auto list = platform().windowList().copyWindowInfo(WindowListOption::onScreenOnly);
    EXPECT_EQ((*list)[2].ownerPID, SimWorld::kOwnPID);
    EXPECT_EQ((*list)[2].layer, 0);

    const auto picture = desktop().picture();
    const Color under = picture.colorAt({300, 650});
    const Color beside = picture.colorAt({900, 650});
    EXPECT_LT(brightness(under), brightness(beside) * 0.6);
    EXPECT_GT(brightness(picture.colorAt({300, 300})), brightness(under))
        << "the focused window above the panel stays clear";
    picture.writePNG(::testing::TempDir() + "talvori-end-to-end.png");

    scenario.play();
    EXPECT_EQ(scenario.axReceived,
              (std::vector<std::string>{"AXMoved " + std::to_string(scenario.e2)}));
    // The click on the covered spot went through the panel to the browser's window.
    EXPECT_EQ(scenario.globalClicks, (std::vector<std::int32_t>{scenario.browser}));
    EXPECT_EQ(world().accessibilityFocusedPID(), scenario.browser);
    EXPECT_EQ(windowNumbersFrontToBack()[1], scenario.b1);
}

struct Recording {
    std::vector<std::uint8_t> png;
    std::vector<std::string> log;
};

Recording record() {
    Platform::install(Platform::makeVirtual());
    Recording recording;
    {
        auto desktop = SimDesktop::install(platform());
        Scenario scenario(*desktop);
        scenario.play();
        recording.png = desktop->picture().pngData();
        recording.log = desktop->world().eventLog();
    }
    Platform::uninstall();
    return recording;
}

TEST(SimDesktopDeterminismTest, TheSameScenarioTwiceGivesTheSamePictureAndEventLog) {
    const Recording first = record();
    const Recording second = record();
    ASSERT_GT(first.png.size(), 1000u);
    EXPECT_EQ(first.png, second.png);
    ASSERT_GT(first.log.size(), 10u);
    EXPECT_EQ(first.log, second.log);
}

}  // namespace
}  // namespace talvori

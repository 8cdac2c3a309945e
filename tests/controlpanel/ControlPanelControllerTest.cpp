#include "controlpanel/ControlPanelTest.hpp"
#include "platform/sim/ScreenPicture.hpp"

namespace talvori::testing {
namespace {

using C = ControlPanelController;

Rect visibleFrame() {
    return platform().screens().mainScreen()->visibleFrame;
}

TEST_F(ControlPanelTest, ShowsAfterRestingHidesAfterLeavingAndStaysWhileThePointerIsOnIt) {
    auto& cover = addCover({100, 300, 300, 200});
    hover(cover);
    advance(0.19);
    EXPECT_FALSE(controller->isPanelVisible());
    // Leaving before the panel shows does not stop it; the hide counts from the leave.
    moveAway();
    advance(0.02);
    EXPECT_TRUE(controller->isPanelVisible());
    advance(0.47);
    EXPECT_TRUE(controller->isPanelVisible());
    advance(0.02);
    EXPECT_FALSE(controller->isPanelVisible());
    EXPECT_FALSE(controller->currentOverlayID());

    showPanelFor(cover);
    input().moveMouse(global({150, 30}));  // from the cover onto the card
    advance(2);
    EXPECT_TRUE(controller->isPanelVisible());
    EXPECT_TRUE(controller->isPanelHovered());
    moveAway();
    advance(0.5);
    EXPECT_FALSE(controller->isPanelVisible());
}

TEST_F(ControlPanelTest, AnotherCoverTakesThePanelOnlyWhileThePointerIsNotOnIt) {
    auto& first = addCover({100, 300, 300, 200}, "First");
    auto& second = addCover({100, 40, 300, 150}, "Second");
    showPanelFor(first);
    input().moveMouse(global({150, 30}));
    controller->scheduleShow(second.id(), second.model.peek().frame.rect());
    advance(1);
    EXPECT_EQ(controller->currentOverlayID(), first.id());

    hover(second);
    advance(0.29);
    EXPECT_EQ(controller->currentOverlayID(), first.id());
    advance(0.02);
    EXPECT_EQ(controller->currentOverlayID(), second.id());
    EXPECT_TRUE(controller->isPanelVisible());
}

TEST_F(ControlPanelTest, PlacementFallsBackRightLeftBelowAboveAndStaysOnScreen) {
    const Rect screen = visibleFrame();
    const Size size{300, 400};
    EXPECT_EQ(C::panelFrame({100, 300, 200, 100}, size), Rect(310, 150, 300, 400));
    EXPECT_EQ(C::panelFrame({screen.maxX() - 250, 300, 200, 100}, size).minX(),
              screen.maxX() - 250 - 10 - 300);
    const Rect wide{screen.minX(), 500, screen.width(), 100};
    EXPECT_EQ(C::panelFrame(wide, size).maxY(), 490);
    const Rect wideLow{screen.minX(), screen.minY() + 50, screen.width(), 100};
    EXPECT_EQ(C::panelFrame(wideLow, size).minY(), screen.minY() + 160);
    // A cover high up keeps the panel below the top of the screen.
    EXPECT_EQ(C::panelFrame({100, screen.maxY() - 20, 200, 100}, size).maxY(), screen.maxY());
    // A panel larger than the screen: the left edge wins, and it takes the screen's height.
    const Rect huge = C::panelFrame({100, 300, 200, 100}, {5000, 5000});
    EXPECT_EQ(huge.origin, (Point{screen.minX(), screen.minY()}));
    EXPECT_EQ(huge.height(), screen.height());

    world().setScreens({});
    EXPECT_EQ(C::panelFrame({100, 300, 200, 100}, size).origin, (Point{0, 0}));
}

// On a second screen the card keeps to the cover's screen: beside the cover on the side that has
// room, never reaching over onto the first screen, and above its bottom edge.
TEST_F(ControlPanelTest, OnASecondScreenTheCardTakesTheSideWithRoomAndStaysOnIt) {
    world().setScreens({Rect(0, 0, 1280, 800), Rect(1280, 0, 1280, 800)});
    const Rect second = platform().screens().screens().at(1).visibleFrame;
    const Size size{300, 400};
    const Rect nearRight{second.maxX() - 220, second.minY() + 20, 200, 100};
    const Rect atRight = C::panelFrame(nearRight, size);
    EXPECT_EQ(atRight.maxX(), nearRight.minX() - 10);
    EXPECT_EQ(atRight.minY(), second.minY());
    const Rect nearLeft{second.minX() + 20, second.maxY() - 120, 200, 100};
    const Rect atLeft = C::panelFrame(nearLeft, size);
    EXPECT_EQ(atLeft.minX(), nearLeft.maxX() + 10);
    EXPECT_EQ(atLeft.maxY(), second.maxY());
    EXPECT_LE(atLeft.maxX(), second.maxX());
}

// While the screen has room below it, the card grows downwards.
TEST_F(ControlPanelTest, TheCardStandsBesideTheCoverFollowsItAndGrowsDownwards) {
    auto& cover = addCover({100, 300, 300, 200});
    showPanelFor(cover);
    const Rect card = *controller->cardFrame();
    EXPECT_EQ(card.minX(), 410);
    EXPECT_NEAR(card.midY(), 400, 0.5);
    EXPECT_EQ(card.width(), 300);

    // The card's shadow stays off the cover: the pointer at the cover's edge is on the cover.
    input().moveMouse({card.minX() - 11, card.midY()});
    advance(1);
    EXPECT_TRUE(controller->isPanelVisible());
    EXPECT_FALSE(controller->isPanelHovered());

    covers.at(cover.id())->handleNudge(0, 100);
    runUntilIdle();
    EXPECT_NEAR(controller->cardFrame()->midY(), 500, 0.5);

    const double top = controller->cardFrame()->maxY();
    input().moveMouse(global({150, 30}));
    openColorBlock();
    advance(1);
    EXPECT_GT(controller->cardFrame()->height(), card.height() + 150);
    EXPECT_EQ(controller->cardFrame()->maxY(), top);
}

// With a cover low on the screen, the colour block would push the card off the bottom.
TEST_F(ControlPanelTest, ACardThatGrowsMovesUpBesideItsCoverToStayOnTheScreen) {
    const Rect screen = visibleFrame();
    auto& cover = addCover({100, screen.minY() + 20, 300, 200});
    showPanelFor(cover);
    const double height = controller->cardFrame()->height();
    openColorBlock();
    advance(1);
    const Rect card = *controller->cardFrame();
    EXPECT_GT(card.height(), height + 150);
    EXPECT_EQ(card.minY(), screen.minY());
    EXPECT_EQ(card.minX(), 410);
}

TEST_F(ControlPanelTest, TheWindowLeavesACoverBelowTheCardFreeAndItsShadowFadesOut) {
    const Rect screen = visibleFrame();
    auto& cover = addCover({screen.minX(), screen.minY() + 60, screen.width(), 150});
    showPanelFor(cover);
    const Rect card = *controller->cardFrame();
    ASSERT_EQ(card.minY(), screen.minY() + 220) << "no room beside or below: above the cover";
    EXPECT_EQ(controller->panel()->frame().minY(), screen.minY() + 210);

    // The cover's top edge right under the card takes the pointer: a drag there moves the cover.
    input().drag({card.midX(), screen.minY() + 190}, {card.midX(), screen.minY() + 150});
    runUntilIdle();
    EXPECT_EQ(cover.model.peek().frame.rect().minY(), screen.minY() + 20);
    EXPECT_EQ(controller->panel()->frame().minY(), screen.minY() + 170);

    // Beside the window's edge the shadow has faded: no hard edge where the window ends.
    const Rect window = controller->panel()->frame();
    const auto shot = sim::ScreenPicture::render(world());
    const double y = card.minY() + 100;
    const Color inside = shot.colorAt({window.maxX() - 0.5, y});
    const Color outside = shot.colorAt({window.maxX() + 0.5, y});
    EXPECT_NEAR(inside.red, outside.red, 0.02);
    EXPECT_NEAR(inside.blue, outside.blue, 0.02);
}

TEST_F(ControlPanelTest, SamplingHoldsThePanelUntilItsOwnTokenComesBack) {
    auto& first = addCover({100, 300, 300, 200}, "First");
    auto& second = addCover({100, 40, 300, 150}, "Second");
    showPanelFor(first);
    const auto token = controller->beginSampling();
    ASSERT_TRUE(token);
    EXPECT_FALSE(controller->beginSampling());
    const Rect card = *controller->cardFrame();

    moveAway();
    hover(second);
    controller->repositionPanel(first.id(), {500, 500, 300, 200});
    advance(2);
    EXPECT_EQ(controller->currentOverlayID(), first.id());
    EXPECT_EQ(*controller->cardFrame(), card);

    EXPECT_FALSE(controller->resolveSampling(UUID::random()));
    EXPECT_TRUE(controller->samplingSession());
    moveAway();
    EXPECT_TRUE(controller->resolveSampling(*token));
    EXPECT_FALSE(controller->samplingSession());
    // The pointer left while the sampler ran: the panel goes after the hide delay.
    advance(0.5);
    EXPECT_FALSE(controller->isPanelVisible());

    showPanelFor(first);
    ASSERT_TRUE(controller->beginSampling());
    controller->hidePanel(first.id());
    EXPECT_FALSE(controller->samplingSession());
    EXPECT_FALSE(controller->isPanelVisible());
}

TEST_F(ControlPanelTest, EveryNewPresentationMovesTheGenerationOnButARefreshDoesNot) {
    auto& first = addCover({100, 300, 300, 200}, "First");
    auto& second = addCover({100, 40, 300, 150}, "Second");
    showPanelFor(first);
    EXPECT_EQ(controller->presentationGeneration(), 1);
    moveAway();
    showPanelFor(first);
    EXPECT_EQ(controller->presentationGeneration(), 1);
    controller->hideNow();
    moveAway();
    showPanelFor(first);
    EXPECT_EQ(controller->presentationGeneration(), 2);
    hover(second);
    advance(0.3);
    EXPECT_EQ(controller->currentOverlayID(), second.id());
    EXPECT_EQ(controller->presentationGeneration(), 3);
}

TEST_F(ControlPanelTest, DigitKeysSetTheShownCoversOpacity) {
    auto& cover = addCover({100, 300, 300, 200});
    showPanelFor(cover);
    controller->panel()->makeKey();
    const std::vector<std::pair<std::string, double>> entries{
        {"7", 0.7}, {"0", 1.0}, {"45", 0.45}, {"05", 0.1}, {"10", 0.1}, {"99", 0.99}};
    for (const auto& [keys, opacity] : entries) {
        for (char key : keys) EXPECT_EQ(typeDigit(key), sim::KeyDelivery::handled) << keys;
        EXPECT_DOUBLE_EQ(cover.opacity(), opacity) << keys;
        advance(1.1);
    }
    typeDigit('4');
    advance(1.1);
    typeDigit('5');
    EXPECT_DOUBLE_EQ(cover.opacity(), 0.5);

    advance(1.1);
    for (auto flags :
         {ModifierFlags::numericPad, ModifierFlags::capsLock, ModifierFlags::command}) {
        EXPECT_NE(typeDigit('3', flags), sim::KeyDelivery::handled);
    }
    EXPECT_DOUBLE_EQ(cover.opacity(), 0.5);
}

TEST_F(ControlPanelTest, AHalfTypedOpacityDoesNotFollowThePanelToAnotherCover) {
    auto& first = addCover({100, 300, 300, 200}, "First");
    auto& second = addCover({100, 40, 300, 150}, "Second");
    showPanelFor(first);
    controller->panel()->makeKey();
    typeDigit('4');
    EXPECT_DOUBLE_EQ(first.opacity(), 0.4);
    hover(second);
    advance(0.3);
    ASSERT_EQ(controller->currentOverlayID(), second.id());
    typeDigit('5');
    EXPECT_DOUBLE_EQ(second.opacity(), 0.5);
    EXPECT_DOUBLE_EQ(first.opacity(), 0.4);
}

TEST_F(ControlPanelTest, ShutdownLeavesNothingThatCanShowAgain) {
    auto& cover = addCover({100, 300, 300, 200});
    showPanelFor(cover);
    auto window = controller->panel();
    controller->shutdown();
    EXPECT_TRUE(window->isClosed());
    EXPECT_FALSE(controller->panel());
    EXPECT_FALSE(controller->viewModelProvider);
    EXPECT_FALSE(controller->onClickThroughChange);
    controller->showPanel(cover.id(), cover.model.peek().frame.rect());
    EXPECT_FALSE(controller->isPanelVisible());
}

}  // namespace
}  // namespace talvori::testing

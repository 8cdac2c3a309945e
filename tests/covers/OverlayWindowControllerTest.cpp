#include <gtest/gtest.h>

#include "covers/CoverWindowTest.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {
namespace {

using testing::downArrow;
using testing::leftArrow;
using testing::rightArrow;
using testing::upArrow;
using Flags = ModifierFlags;
using Edges = std::set<SnapEdge>;

// The screen is 1440 x 900 with a 24-point menu bar: the visible frame is (0, 0, 1440, 876).
class OverlayWindowControllerTest : public testing::CoverWindowTest {};

TEST_F(OverlayWindowControllerTest, ShowsTheCoverAtItsRecordedFrameAndCloseTakesItAway) {
    showCover({400, 300, 300, 200});
    EXPECT_EQ(frame(), Rect(400, 300, 300, 200));
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(window().level(), WindowLevel::floating);
    EXPECT_EQ(window().trackingAreaCount(), 1u);
    EXPECT_TRUE(moves.empty());

    auto shown = controller->panel();
    controller->close();
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_TRUE(shown->window().isClosed());
    EXPECT_FALSE(shown->window().isVisible());
    shown->window().setFrame({0, 0, 100, 100});
    EXPECT_TRUE(moves.empty()) << "a closed cover no longer follows its window";
    EXPECT_EQ(recordFrame(), Rect(400, 300, 300, 200));
}

TEST_F(OverlayWindowControllerTest, DraggingMovesTheCoverAndEveryStepReachesTheRecord) {
    showCover({400, 300, 300, 200});
    input().mouseDown(at(150, 100));
    EXPECT_TRUE(viewModel->isDragging.peek());
    input().moveMouse({575, 360});
    EXPECT_EQ(frame(), Rect(425, 260, 300, 200));
    EXPECT_EQ(recordFrame(), frame());
    EXPECT_EQ(moves.back(), frame());
    input().moveMouse({600, 330});
    input().mouseUp({600, 330});
    EXPECT_FALSE(viewModel->isDragging.peek());
    EXPECT_EQ(frame(), Rect(450, 230, 300, 200)) << "a mouse move does not snap";
    EXPECT_EQ(recordFrame(), frame());
    EXPECT_EQ(moves.size(), 2u);
}

TEST_F(OverlayWindowControllerTest, HoverShowsTheHandlesAndMarksTheOneUnderThePointer) {
    showCover({400, 300, 300, 200});
    input().moveMouse(at(150, 100));
    EXPECT_TRUE(viewModel->isHandlesVisible.peek());
    EXPECT_EQ(viewModel->hoveredHandle.peek(), std::nullopt);
    input().moveMouse(at(150, 3));
    EXPECT_EQ(viewModel->hoveredHandle.peek(), ResizeHandle::top);
    input().moveMouse({100, 100});
    EXPECT_FALSE(viewModel->isHandlesVisible.peek());
    EXPECT_EQ(viewModel->hoveredHandle.peek(), std::nullopt);

    controller->handleHover(true);
    controller->handleHover(false);
    EXPECT_EQ(hovers, 1);
    EXPECT_EQ(hoverEnds, 1);
}

struct HandleDrag {
    ResizeHandle handle;
    Point grab;  // content coordinates
    Rect result;
};

class HandleResizeTest : public OverlayWindowControllerTest,
                         public ::testing::WithParamInterface<HandleDrag> {};

// Every handle of (400, 300, 300, 200) dragged by (-30, +40): the anchor stays, the point grabbed
// stays under the pointer, and edge handles keep the other axis; dragging back and forth returns
// the cover to its size.
TEST_P(HandleResizeTest, ResizesFromTheHandleWithALiveReadout) {
    const HandleDrag& drag = GetParam();
    showCover({400, 300, 300, 200});
    const Point start = at(drag.grab.x, drag.grab.y);
    const Point end{start.x - 30, start.y + 40};
    input().moveMouse(start);
    input().mouseDown(start);
    EXPECT_TRUE(viewModel->isResizing.peek());
    EXPECT_EQ(viewModel->activeHandle.peek(), drag.handle);
    EXPECT_EQ(viewModel->originalFrame.peek(), Rect(400, 300, 300, 200));
    input().moveMouse(end);
    EXPECT_EQ(frame(), drag.result);
    EXPECT_EQ(viewModel->liveDimensions.peek(), drag.result.size);
    EXPECT_EQ(recordFrame(), drag.result);
    input().mouseUp(end);

    EXPECT_FALSE(viewModel->isResizing.peek());
    EXPECT_EQ(viewModel->activeHandle.peek(), std::nullopt);
    EXPECT_EQ(viewModel->originalFrame.peek(), std::nullopt);
    EXPECT_EQ(viewModel->liveDimensions.peek(), std::nullopt);
    EXPECT_EQ(frame(), drag.result);
    EXPECT_EQ(moves.back(), drag.result);

    for (int round = 0; round < 15; ++round) {
        input().drag(end, start);
        input().drag(start, end);
    }
    input().drag(end, start);
    EXPECT_EQ(frame(), Rect(400, 300, 300, 200));
}

INSTANTIATE_TEST_SUITE_P(
    EveryHandle, HandleResizeTest,
    ::testing::Values(HandleDrag{ResizeHandle::topLeft, {5, 5}, {370, 300, 330, 240}},
                      HandleDrag{ResizeHandle::topRight, {295, 5}, {400, 300, 270, 240}},
                      HandleDrag{ResizeHandle::bottomLeft, {5, 195}, {370, 340, 330, 160}},
                      HandleDrag{ResizeHandle::bottomRight, {295, 195}, {400, 340, 270, 160}},
                      HandleDrag{ResizeHandle::top, {150, 3}, {400, 300, 300, 240}},
                      HandleDrag{ResizeHandle::right, {297, 100}, {400, 300, 270, 200}},
                      HandleDrag{ResizeHandle::bottom, {150, 197}, {400, 340, 300, 160}},
                      HandleDrag{ResizeHandle::left, {3, 100}, {370, 300, 330, 200}}));

TEST_F(OverlayWindowControllerTest, AResizeStopsAtTheMinimumInsteadOfFlipping) {
    showCover({100, 100, 300, 200});
    input().drag(at(295, 195), {50, 350});
    EXPECT_EQ(frame(), Rect(100, 280, 50, 20));
    EXPECT_EQ(recordFrame(), frame());
}

TEST_F(OverlayWindowControllerTest, AResizeSnapsToTheScreenEdgeUnlessCommandIsHeld) {
    showCover({1100, 300, 300, 200});
    input().mouseDown(at(297, 100));
    input().moveMouse({1430, 400});
    EXPECT_EQ(frame(), Rect(1107, 300, 333, 200)) << "moved onto the edge, never resized by it";
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{SnapEdge::right});
    input().mouseUp({1430, 400});
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{});

    input().setModifierFlags(Flags::command);
    input().mouseDown(at(167, 3));
    input().moveMouse({1100, 870});
    EXPECT_EQ(frame(), Rect(1107, 300, 333, 573)) << "the top handle keeps x and width";
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{});
    input().mouseUp({1100, 870});
}

TEST_F(OverlayWindowControllerTest, ArrowKeysNudgeTheCover) {
    showCover({400, 300, 300, 200});
    focusCover();
    type(rightArrow);
    EXPECT_EQ(frame(), Rect(401, 300, 300, 200));
    type(upArrow, "", Flags::shift);
    type(leftArrow, "", Flags::capsLock);
    EXPECT_EQ(frame(), Rect(400, 310, 300, 200));
    EXPECT_EQ(recordFrame(), frame());
    EXPECT_EQ(moves.back(), frame());

    viewModel->isLocked.set(true);
    controller->syncPanelState();
    type(downArrow);
    EXPECT_EQ(frame(), Rect(400, 310, 300, 200)) << "locked";
}

TEST_F(OverlayWindowControllerTest, ANudgeSnapsTowardAnEdgeAndLightsItBriefly) {
    showCover({16, 300, 300, 200});
    focusCover();
    type(leftArrow);
    EXPECT_EQ(frame().minX(), 15) << "15 points away is not near enough";
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{});
    type(leftArrow);
    EXPECT_EQ(frame().minX(), 0);
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{SnapEdge::left});
    EXPECT_EQ(recordFrame(), frame());

    advance(0.1);
    controller->handleNudge(0, -1);
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{SnapEdge::left})
        << "flush on the left, still snapped while going down";
    advance(0.1);
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{}) << "0.2 s after the first nudge";
    advance(0.1);
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{});
}

TEST_F(OverlayWindowControllerTest, ANudgeCanLeaveAnEdgeTheCoverIsFlushWith) {
    showCover({0, 5, 300, 200});
    focusCover();
    type(rightArrow);
    EXPECT_EQ(frame(), Rect(1, 0, 300, 200)) << "leaves the left edge, snaps to the bottom one";
    EXPECT_EQ(viewModel->snappedEdges.peek(), Edges{SnapEdge::bottom});
    type(rightArrow);
    EXPECT_EQ(frame(), Rect(2, 0, 300, 200)) << "going on to the right does not pull it back";
    type(upArrow);
    EXPECT_EQ(frame(), Rect(0, 1, 300, 200)) << "leaves the bottom; the left edge is approached";
    type(rightArrow, "", Flags::shift);
    EXPECT_EQ(frame(), Rect(10, 0, 300, 200)) << "the bottom edge is near and not being left";

    controller->fillScreen();
    type(leftArrow);
    type(downArrow, "", Flags::shift);
    EXPECT_EQ(frame(), Rect(0, -10, 1440, 876))
        << "down leaves the top edge; the sides, one point off, snap back as usual";
}

TEST_F(OverlayWindowControllerTest, CommandArrowsResizeKeepingTheTopLeftCorner) {
    showCover({400, 300, 100, 50});
    focusCover();
    for (int i = 0; i < 4; ++i) type(rightArrow, "", Flags::command);
    EXPECT_EQ(frame(), Rect(400, 300, 104, 50));
    for (int i = 0; i < 40; ++i) type(downArrow, "", Flags::command);
    EXPECT_EQ(frame(), Rect(400, 330, 104, 20));
    type(upArrow, "", Flags::command | Flags::shift);
    EXPECT_EQ(frame(), Rect(400, 320, 104, 30));
    EXPECT_EQ(recordFrame(), frame());
    EXPECT_EQ(moves.back(), frame());
}

TEST_F(OverlayWindowControllerTest, TypedDigitsSetTheOpacityWithinItsRange) {
    showCover({400, 300, 300, 200});
    focusCover();
    typeDigit('4');
    EXPECT_EQ(viewModel->opacity(), 0.4);
    advance(1);
    typeDigit('0');
    EXPECT_EQ(viewModel->opacity(), 1.0);
    typeDigit('5');
    EXPECT_EQ(viewModel->opacity(), 0.1) << "0.05 is raised to the minimum";
}

TEST_F(OverlayWindowControllerTest, ResetCentreFillAndScale) {
    showCover({400, 300, 60, 25});
    focusCover();
    type(24, "=", Flags::command);
    EXPECT_TRUE(testing::framesNear(frame(), Rect(397, 298.75, 66, 27.5)));
    controller->panel()->window().setFrame({400, 300, 60, 25});
    type(27, "-", Flags::command);
    EXPECT_TRUE(testing::framesNear(frame(), Rect(403, 301.25, 54, 22.5)));

    type(29, "0", Flags::command);
    EXPECT_EQ(frame(), Rect(570, 338, 300, 200));
    controller->panel()->window().setFrame({10, 10, 52, 21});
    type(27, "-", Flags::command);
    EXPECT_EQ(frame(), Rect(11, 10.5, 50, 20)) << "the centre stays, the minimum holds";

    type(8, "C", Flags::command | Flags::shift);
    EXPECT_EQ(frame(), Rect(695, 428, 50, 20));
    type(3, "F", Flags::command | Flags::shift);
    EXPECT_EQ(frame(), Rect(0, 0, 1440, 876));
    EXPECT_EQ(recordFrame(), frame());
    EXPECT_EQ(moves.back(), frame());

    viewModel->isLocked.set(true);
    controller->syncPanelState();
    moves.clear();
    controller->resetSize();
    controller->centerOnScreen();
    controller->scale(0.5);
    controller->handleResizeByKeyboard(-10, -10);
    EXPECT_EQ(frame(), Rect(0, 0, 1440, 876));
    EXPECT_TRUE(moves.empty());
}

TEST_F(OverlayWindowControllerTest, ALockedCoverNeitherMovesNorResizes) {
    showCover({400, 300, 300, 200});
    viewModel->isLocked.set(true);
    controller->syncPanelState();
    input().drag(at(150, 100), {100, 100});
    input().drag(at(295, 195), {900, 100});
    EXPECT_EQ(frame(), Rect(400, 300, 300, 200));
    EXPECT_FALSE(viewModel->isResizing.peek());
    EXPECT_TRUE(moves.empty());
}

TEST_F(OverlayWindowControllerTest, AClickThroughCoverPassesClicksToTheWindowBelow) {
    const auto editor = world().launchApplication("Editor", "org.example.editor");
    const auto below = world().openWindow(editor, "Notes", {300, 200, 600, 400});
    showCover({400, 300, 300, 200});
    input().moveMouse(at(150, 100));
    ASSERT_TRUE(viewModel->isHandlesVisible.peek());

    viewModel->setClickThroughEnabled(true);
    controller->syncPanelState();
    EXPECT_TRUE(window().ignoresMouseEvents());
    EXPECT_FALSE(viewModel->isHandlesVisible.peek());
    input().drag(at(150, 100), at(100, 50));
    EXPECT_EQ(frame(), Rect(400, 300, 300, 200));
    EXPECT_EQ(world().frontmostPID(), editor);
    EXPECT_LT(world().stackIndex(window().windowNumber()), world().stackIndex(below))
        << "the cover stays in front";
    EXPECT_EQ(world().window(below)->frame, Rect(300, 200, 600, 400));

    viewModel->setClickThroughEnabled(false);
    controller->syncPanelState();
    EXPECT_FALSE(window().ignoresMouseEvents());
}

TEST_F(OverlayWindowControllerTest, SyncMirrorsLockAndAttachmentIntoThePanel) {
    OverlayModel model = testing::sampleCover();
    model.attachmentInfo = AttachmentInfo{4242, std::nullopt, std::nullopt};
    showCover({400, 300, 300, 200}, model);
    viewModel->isLocked.set(true);
    controller->syncPanelState();
    EXPECT_TRUE(controller->panel()->isLocked);
    EXPECT_TRUE(controller->panel()->isAttached);
}

class OverlayScreenChangeTest : public testing::CoverWindowTest {
  protected:
    OverlayScreenChangeTest()
        : CoverWindowTest(sim::SimDesktop::Configuration{
              .screens = {Rect(0, 0, 1440, 900), Rect(1440, 0, 1280, 800)}}) {}
};

TEST_F(OverlayScreenChangeTest, ACoverLeftWithoutAScreenMovesToTheMainScreen) {
    showCover({1600, 300, 300, 200});
    world().setScreens({});
    runUntilIdle();
    EXPECT_EQ(frame(), Rect(1600, 300, 300, 200)) << "no screens at all: wait";

    world().setScreens({Rect(0, 0, 1440, 900)});
    runUntilIdle();
    EXPECT_EQ(frame(), Rect(0, 0, 300, 200));
    EXPECT_EQ(recordFrame(), frame());
    EXPECT_EQ(moves.back(), frame());
}

TEST_F(OverlayScreenChangeTest, ACoverPartlyOnARemainingScreenStays) {
    showCover({1300, 300, 300, 200});
    world().setScreens({Rect(0, 0, 1440, 900)});
    runUntilIdle();
    EXPECT_EQ(frame(), Rect(1300, 300, 300, 200));
    EXPECT_TRUE(moves.empty());
}

}  // namespace
}  // namespace talvori

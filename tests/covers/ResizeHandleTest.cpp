#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "covers/ResizeHandle.hpp"

namespace talvori {
namespace {

using Handle = std::optional<ResizeHandle>;
constexpr Size kMinimum{50, 20};

TEST(ResizeHandleTest, HitTestFindsCornersThenEdgeBands) {
    const Rect bounds(0, 0, 200, 100);
    const std::pair<Point, Handle> cases[] = {
        {{10, 10}, ResizeHandle::topLeft},
        {{10, 95}, ResizeHandle::bottomLeft},
        {{195, 5}, ResizeHandle::topRight},
        {{190, 90}, ResizeHandle::bottomRight},
        {{100, 5}, ResizeHandle::top},
        {{100, 96}, ResizeHandle::bottom},
        {{4, 50}, ResizeHandle::left},
        {{12, 50}, std::nullopt},
        {{196, 50}, ResizeHandle::right},
        {{100, 50}, std::nullopt},
        {{16, 4}, ResizeHandle::top},
        {{100, 8}, std::nullopt},
        {{15.99, 15.99}, ResizeHandle::topLeft},
    };
    for (const auto& [point, handle] : cases) {
        EXPECT_EQ(ResizeHandle::hitTest(point, bounds), handle) << point.x << ", " << point.y;
    }
}

TEST(ResizeHandleTest, OnASmallCoverTheEarlierRuleWins) {
    const Rect bounds(0, 0, 20, 20);
    for (double x = 0.5; x < 16; x += 1) {
        for (double y = 0.5; y < 16; y += 1) {
            EXPECT_EQ(ResizeHandle::hitTest({x, y}, bounds), ResizeHandle::topLeft);
        }
    }
    EXPECT_EQ(ResizeHandle::hitTest({18, 18}, bounds), ResizeHandle::bottomRight);
    EXPECT_EQ(ResizeHandle::hitTest({10, 18}, Rect(0, 0, 20, 30)), ResizeHandle::bottomLeft);
}

TEST(ResizeHandleTest, APointOutsideTheCoverIsNoHandle) {
    const Rect bounds(0, 0, 200, 100);
    for (const Point outside : std::initializer_list<Point>{
             {-1, 50}, {-0.01, 5}, {201, 50}, {100, -3}, {100, 100.5}, {-40, -40}, {250, 120}}) {
        EXPECT_EQ(ResizeHandle::hitTest(outside, bounds), std::nullopt)
            << outside.x << ", " << outside.y;
    }
    EXPECT_EQ(ResizeHandle::hitTest({0, 0}, bounds), ResizeHandle::topLeft);
    EXPECT_EQ(ResizeHandle::hitTest({200, 100}, bounds), ResizeHandle::bottomRight);
    EXPECT_EQ(ResizeHandle::hitTest({std::nan(""), 5}, bounds), std::nullopt);
}

TEST(ResizeHandleTest, EdgesAndAnchorsFollowTheTables) {
    using E = SnapEdge;
    const Rect frame(100, 100, 300, 200);
    const std::tuple<ResizeHandle, std::vector<SnapEdge>, Point> table[] = {
        {ResizeHandle::topLeft, {E::top, E::left}, {400, 100}},
        {ResizeHandle::topRight, {E::top, E::right}, {100, 100}},
        {ResizeHandle::bottomLeft, {E::bottom, E::left}, {400, 300}},
        {ResizeHandle::bottomRight, {E::bottom, E::right}, {100, 300}},
        {ResizeHandle::top, {E::top}, {100, 100}},
        {ResizeHandle::right, {E::right}, {100, 100}},
        {ResizeHandle::bottom, {E::bottom}, {100, 300}},
        {ResizeHandle::left, {E::left}, {400, 100}},
    };
    std::size_t index = 0;
    for (const auto& [handle, edges, anchor] : table) {
        EXPECT_EQ(ResizeHandle::allCases()[index++], handle);
        EXPECT_EQ(ResizeHandle::edges(handle), edges);
        EXPECT_EQ(ResizeHandle::anchorPoint(handle, frame), anchor);
    }
    EXPECT_TRUE(ResizeHandle::edges(std::nullopt).empty());
}

TEST(ResizeHandleTest, TheMovingSideFollowsThePointerAndTheAnchorStays) {
    const Rect frame(100, 100, 300, 200);
    auto drag = [&](ResizeHandle handle, Point pointer) {
        return ResizeHandle::resizedFrame(handle, ResizeHandle::anchorPoint(handle, frame), pointer,
                                          kMinimum);
    };
    EXPECT_EQ(drag(ResizeHandle::topRight, {450, 320}), Rect(100, 100, 350, 220));
    EXPECT_EQ(drag(ResizeHandle::bottomLeft, {60, 80}), Rect(60, 80, 340, 220));
    EXPECT_EQ(drag(ResizeHandle::topLeft, {90, 310}), Rect(90, 100, 310, 210));
    const Rect left = drag(ResizeHandle::left, {80, 9999});
    EXPECT_EQ(left.minX(), 80);
    EXPECT_EQ(left.width(), 320);
    const Rect top = drag(ResizeHandle::top, {-9999, 350});
    EXPECT_EQ(top.minY(), 100);
    EXPECT_EQ(top.height(), 250);
}

TEST(ResizeHandleTest, ADragPastTheAnchorStopsAtTheMinimumWithoutFlipping) {
    const Rect frame(100, 100, 300, 200);
    const Point anchor = ResizeHandle::anchorPoint(ResizeHandle::bottomRight, frame);
    ASSERT_EQ(anchor, (Point{100, 300}));
    EXPECT_EQ(ResizeHandle::resizedFrame(ResizeHandle::bottomRight, anchor, {50, 350}, kMinimum),
              Rect(100, 280, 50, 20));
    EXPECT_EQ(ResizeHandle::resizedFrame(ResizeHandle::topLeft, {400, 100}, {500, 20}, kMinimum),
              Rect(350, 100, 50, 20));
}

// The cursor's pixel at (x, y) in image coordinates, y up.
std::uint32_t pixelAt(const Cursor& cursor, int x, int y) {
    return cursor.pixels[static_cast<std::size_t>((cursor.height - 1 - y) * cursor.width + x)];
}

TEST(ResizeHandleTest, EdgesShowTheSystemResizeCursorsAndCornersADrawnDoubleArrow) {
    EXPECT_EQ(ResizeHandle::cursor(ResizeHandle::top), Cursor::resizeUpDown());
    EXPECT_EQ(ResizeHandle::cursor(ResizeHandle::bottom), Cursor::resizeUpDown());
    EXPECT_EQ(ResizeHandle::cursor(ResizeHandle::left), Cursor::resizeLeftRight());
    EXPECT_EQ(ResizeHandle::cursor(ResizeHandle::right), Cursor::resizeLeftRight());

    const Cursor northWest = ResizeHandle::cursor(ResizeHandle::topLeft);
    EXPECT_EQ(northWest.kind, Cursor::Kind::custom);
    EXPECT_EQ(northWest.width, 16);
    EXPECT_EQ(northWest.height, 16);
    EXPECT_EQ(northWest.hotSpot, (Point{8, 8}));
    EXPECT_EQ(ResizeHandle::cursor(ResizeHandle::bottomRight), northWest);
    const Cursor northEast = ResizeHandle::cursor(ResizeHandle::topRight);
    EXPECT_EQ(ResizeHandle::cursor(ResizeHandle::bottomLeft), northEast);
    EXPECT_NE(northEast, northWest);

    const std::uint32_t opaqueBlack = 0xFF000000;
    // The middle of the north-west diagonal is black; the other diagonal's ends are empty.
    EXPECT_EQ(pixelAt(northWest, 4, 11), opaqueBlack);
    EXPECT_EQ(pixelAt(northWest, 13, 13), 0u);
    EXPECT_EQ(pixelAt(northWest, 2, 2), 0u);
    EXPECT_EQ(pixelAt(northEast, 11, 11), opaqueBlack);
    EXPECT_EQ(pixelAt(northEast, 2, 13), 0u);
    // A white outline surrounds the black line.
    const auto whiteOutline =
        std::count_if(northWest.pixels.begin(), northWest.pixels.end(), [](std::uint32_t pixel) {
            const std::uint32_t alpha = pixel >> 24;
            return alpha >= 0x80 && (pixel & 0xFF) == alpha && ((pixel >> 8) & 0xFF) == alpha;
        });
    EXPECT_GT(whiteOutline, 20);
}

}  // namespace
}  // namespace talvori

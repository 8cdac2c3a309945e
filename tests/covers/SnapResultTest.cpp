#include <gtest/gtest.h>

#include "covers/SnapResult.hpp"

namespace talvori {
namespace {

using Edges = std::set<SnapEdge>;
const Rect kScreen(0, 0, 1440, 875);

TEST(SnapResultTest, AnEdgeSnapsOnlyWhenStrictlyCloserThanFifteenPoints) {
    const auto near = SnapResult::snap(Rect(14.9, 300, 200, 100), kScreen);
    EXPECT_EQ(near.frame, Rect(0, 300, 200, 100));
    EXPECT_EQ(near.snappedEdges, Edges{SnapEdge::left});
    const auto far = SnapResult::snap(Rect(15, 300, 200, 100), kScreen);
    EXPECT_EQ(far.frame, Rect(15, 300, 200, 100));
    EXPECT_TRUE(far.snappedEdges.empty());
    EXPECT_EQ(SnapResult::snap(Rect(-14.9, 300, 200, 100), kScreen).frame.minX(), 0);
}

TEST(SnapResultTest, TopIsTheEdgeOfGreaterYAndWinsOverBottom) {
    const auto top = SnapResult::snap(Rect(500, 875 - 100 - 10, 200, 100), kScreen);
    EXPECT_EQ(top.frame, Rect(500, 775, 200, 100));
    EXPECT_EQ(top.snappedEdges, Edges{SnapEdge::top});
    const auto bottom = SnapResult::snap(Rect(500, 7, 200, 100), kScreen);
    EXPECT_EQ(bottom.frame, Rect(500, 0, 200, 100));
    EXPECT_EQ(bottom.snappedEdges, Edges{SnapEdge::bottom});
    const auto both = SnapResult::snap(Rect(500, 3, 200, 880), kScreen);
    EXPECT_EQ(both.frame, Rect(500, -5, 200, 880));
    EXPECT_EQ(both.snappedEdges, (Edges{SnapEdge::top, SnapEdge::bottom}));
}

TEST(SnapResultTest, WhenBothSidesSnapTheRightEdgeDecidesAndTheSizeNeverChanges) {
    const Rect target(100, 50, 400, 300);
    const auto narrow = SnapResult::snap(Rect(102, 120, 395, 100), target);
    EXPECT_EQ(narrow.frame, Rect(105, 120, 395, 100));
    EXPECT_EQ(narrow.snappedEdges, (Edges{SnapEdge::left, SnapEdge::right}));

    const auto same = SnapResult::snap(target, target);
    EXPECT_EQ(same.frame, target);
    EXPECT_EQ(same.snappedEdges,
              (Edges{SnapEdge::top, SnapEdge::right, SnapEdge::bottom, SnapEdge::left}));

    const auto larger = SnapResult::snap(Rect(90, 40, 420, 320), target);
    EXPECT_EQ(larger.frame.size, (Size{420, 320}));
    EXPECT_EQ(larger.frame.origin, (Point{80, 30}));

    const auto alone = SnapResult::snap(Rect(300, 200, 50, 20), target);
    EXPECT_EQ(alone.frame, Rect(300, 200, 50, 20));
    EXPECT_TRUE(alone.snappedEdges.empty());
}

}  // namespace
}  // namespace talvori

#include <gtest/gtest.h>

#include "platform/core/Geometry.hpp"

namespace talvori {
namespace {

TEST(GeometryTest, EdgesOfARectangle) {
    const Rect rect(100, 50, 400, 300);
    EXPECT_EQ(rect.minX(), 100);
    EXPECT_EQ(rect.maxX(), 500);
    EXPECT_EQ(rect.midX(), 300);
    EXPECT_EQ(rect.minY(), 50);
    EXPECT_EQ(rect.maxY(), 350);
    EXPECT_EQ(rect.midY(), 200);
    EXPECT_EQ(rect, Rect(Point{100, 50}, Size{400, 300}));
    EXPECT_NE(rect, Rect(100.0001, 50, 400, 300));
}

TEST(GeometryTest, ContainmentIsHalfOpenAndTouchingIsNoIntersection) {
    const Rect rect(0, 0, 10, 10);
    EXPECT_TRUE(rect.contains({0, 0}));
    EXPECT_FALSE(rect.contains({10, 5}));
    EXPECT_FALSE(rect.intersects(Rect(10, 0, 5, 5)));
    EXPECT_TRUE(rect.intersects(Rect(9, 9, 5, 5)));
    EXPECT_EQ(rect.intersection(Rect(9, 8, 5, 5)), Rect(9, 8, 1, 2));
    EXPECT_FALSE(rect.intersects(Rect(5, 5, 0, 3)));
    EXPECT_TRUE(Rect().isEmpty());
}

}  // namespace
}  // namespace talvori

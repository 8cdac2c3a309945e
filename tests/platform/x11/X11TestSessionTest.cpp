#include <gtest/gtest.h>

#include <string>

#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::testing {
namespace {

// A program that leaves one of its own running when it ends, as a server started on demand does:
// the session names it and ends it.
TEST(X11TestSessionTest, WhatAProgramLeavesRunningIsNamedAndEnded) {
    X11TestSession session({.windowManager = false, .compositor = false});
    ASSERT_TRUE(session.isReady()) << session.error();
    ASSERT_EQ(session.run({"sh", "-c", "sleep 60 & exit 0"}), 0);
    const auto left = session.endAll();
    ASSERT_EQ(left.size(), 1U);
    EXPECT_NE(left.front().find("sleep 60"), std::string::npos) << left.front();
}

}  // namespace
}  // namespace talvori::testing

#include <gtest/gtest.h>

#include <unordered_set>

#include "GlobalShortcuts/ConflictPolicy.hpp"

namespace GlobalShortcuts {
namespace {

constexpr auto block = ConflictBehavior::block;
constexpr auto warn = ConflictBehavior::warn;
constexpr auto allow = ConflictBehavior::allow;

TEST(ConflictPolicyTest, PredefinedPoliciesAndEquality) {
    EXPECT_EQ(ConflictPolicy::defaultPolicy, (ConflictPolicy{block, warn, block}));
    EXPECT_EQ(ConflictPolicy{}, ConflictPolicy::defaultPolicy);
    EXPECT_EQ(ConflictPolicy::allowAll, (ConflictPolicy{allow, allow, allow}));
    EXPECT_NE(ConflictPolicy::defaultPolicy, ConflictPolicy::allowAll);
    EXPECT_NE(ConflictPolicy::defaultPolicy, (ConflictPolicy{block, block, block}));
    EXPECT_NE(ConflictPolicy::allowAll, (ConflictPolicy{block, block, block}));
    // The hash tells the fields apart by position.
    std::unordered_set<ConflictPolicy> policies{
        {block, warn, allow}, {allow, warn, block}, {block, warn, allow}};
    EXPECT_EQ(policies.size(), 2u);
    EXPECT_NE(std::hash<ConflictPolicy>{}({block, warn, allow}),
              std::hash<ConflictPolicy>{}({allow, warn, block}));
}

TEST(ConflictPolicyTest, OnlyTheSecondButtonForcesAWarnedShortcut) {
    EXPECT_FALSE(conflictAccepts(warn, 1000));
    EXPECT_TRUE(conflictAccepts(warn, 1001));
    EXPECT_FALSE(conflictAccepts(block, 1001));
    EXPECT_TRUE(conflictAccepts(allow, 0));
}

}  // namespace
}  // namespace GlobalShortcuts

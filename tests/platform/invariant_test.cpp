#include "fieldkit/platform/detail/invariant.h"

#include <gtest/gtest.h>

namespace {

using fieldkit::detail::kCheckInvariants;

// Checked builds stop at a broken invariant and say which and where; other builds do not even
// evaluate the condition.
TEST(InvariantDeathTest, ABrokenOneAbortsWhereItBroke) {
    int evaluated = 0;
    FIELDKIT_INVARIANT(++evaluated == 1, "a kept invariant passes");
    if (!kCheckInvariants) {
        EXPECT_EQ(evaluated, 0);
        GTEST_SKIP() << "invariants are compiled out of this build";
    }
    EXPECT_EQ(evaluated, 1);
    testing::GTEST_FLAG(death_test_style) = "threadsafe";
    EXPECT_DEATH(FIELDKIT_INVARIANT(evaluated == 2, "one is two"),
                 "fieldkit: invariant failed: one is two \\(.*invariant_test\\.cpp:[0-9]+\\)");
}

}  // namespace

#include "fieldkit/platform/detail/invariant.h"

#include <gtest/gtest.h>

#include <memory>

#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/handles.h"

namespace {

using fieldkit::detail::kCheckInvariants;

struct Thing : fieldkit::detail::HandleObject {};

// Checked builds stop at a broken invariant and say which and where; other builds do not even
// evaluate the condition.
// Fault: a broken invariant goes on silently, or its message lacks the file and line
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

UINT_PTR Number(HANDLE handle) {
    return reinterpret_cast<UINT_PTR>(handle);
}

// A reservation dropped unfilled gives its number back only when no later one was given out:
// a number once given out is never given out again.
// Fault: a dropped reservation gives back a number given out since, so two handles share it
TEST(HandleTable, ADroppedReservationGivesBackOnlyTheLastNumber) {
    using fieldkit::detail::AddHandle;
    using fieldkit::detail::RemoveHandle;
    HANDLE first = nullptr, inner = nullptr, later = nullptr;
    {
        const fieldkit::detail::HandleReservation outer;
        first = outer.Get();
        {
            const fieldkit::detail::HandleReservation last;
            inner = last.Get();
        }
        later = AddHandle(std::make_shared<Thing>());
        EXPECT_EQ(later, inner);
    }
    const HANDLE next = AddHandle(std::make_shared<Thing>());
    EXPECT_GT(Number(later), Number(first));
    EXPECT_GT(Number(next), Number(later));
    EXPECT_FALSE(RemoveHandle(first));
    EXPECT_TRUE(RemoveHandle(later));
    EXPECT_FALSE(RemoveHandle(later));
    EXPECT_TRUE(RemoveHandle(next));
}

// The handle table's own checks: a reservation is filled once.
// Fault: a reserved handle filled twice, replacing the object a caller already holds
TEST(InvariantDeathTest, AReservedHandleIsFilledOnce) {
    if (!kCheckInvariants) GTEST_SKIP() << "invariants are compiled out of this build";
    testing::GTEST_FLAG(death_test_style) = "threadsafe";
    EXPECT_DEATH(
        {
            fieldkit::detail::HandleReservation handle;
            handle.Fill(std::make_shared<Thing>());
            handle.Fill(std::make_shared<Thing>());
        },
        "invariant failed: a reserved handle is filled once");
}

}  // namespace

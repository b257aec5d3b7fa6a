// How many calls one file gets, and the waits between them.
#include <gtest/gtest.h>

#include "engine/call_budget.h"

TEST(CallBudget, CallsThatMoveNothingAreFiveAtMost)
{
    CallBudget budget;
    for (int i = 0; i < 4; ++i) {
        budget.Record(0);
        EXPECT_TRUE(budget.MayCallAgain());
    }
    budget.Record(0);
    EXPECT_FALSE(budget.MayCallAgain());
    EXPECT_EQ(budget.Calls(), 5);
}

TEST(CallBudget, ProgressCostsNoCallAndNeedsNoWait)
{
    CallBudget budget;
    long long kept = 0;
    for (int i = 0; i < 40; ++i) {   // a link that breaks after every 8 MiB
        kept += 8 * 1024 * 1024;
        budget.Record(kept);
        EXPECT_TRUE(budget.MayCallAgain());
        EXPECT_EQ(budget.PauseBeforeNextMs(500), 0u);
    }
}

TEST(CallBudget, BytesSentAgainAreNoProgress)
{
    // A server that ignores ranges and breaks at the same place: each call keeps as much as the last.
    CallBudget budget;
    budget.Record(600000);   // the first time it is progress
    for (int i = 0; i < 4; ++i) {
        budget.Record(600000);
        EXPECT_TRUE(budget.MayCallAgain());
    }
    budget.Record(600000);
    EXPECT_FALSE(budget.MayCallAgain());
}

TEST(CallBudget, ADripFeedingServerCannotHoldTheWalkForEver)
{
    CallBudget budget;
    long long kept = 0;
    int calls = 0;
    while (budget.MayCallAgain() && calls < 1000) {
        kept += CallBudget::kProgressBytes;   // just enough to count, every time
        budget.Record(kept);
        ++calls;
    }
    EXPECT_EQ(calls, CallBudget::kMaxCalls);

    CallBudget drip;
    for (int i = 0; i < 5; ++i)
        drip.Record((i + 1) * 1000LL);   // less than a piece each time
    EXPECT_FALSE(drip.MayCallAgain());
}

TEST(CallBudget, WaitsGrowFromHalfASecondToFourWithJitter)
{
    CallBudget budget;
    EXPECT_EQ(budget.PauseBeforeNextMs(0), 0u) << "the first call goes at once";
    const unsigned bases[] = {500, 1000, 2000, 4000, 4000};
    for (unsigned base : bases) {
        budget.Record(0);
        EXPECT_EQ(budget.PauseBeforeNextMs(0), base * 8 / 10);
        EXPECT_EQ(budget.PauseBeforeNextMs(500), base);
        EXPECT_LE(budget.PauseBeforeNextMs(999), base * 12 / 10);
        EXPECT_GT(budget.PauseBeforeNextMs(999), base * 11 / 10);
    }
}

TEST(CallBudget, ProgressAfterIdleCallsNeedsNoWait)
{
    CallBudget budget;
    budget.Record(0);
    budget.Record(0);
    EXPECT_GT(budget.PauseBeforeNextMs(500), 0u);
    budget.Record(1024 * 1024);
    EXPECT_EQ(budget.PauseBeforeNextMs(500), 0u);
    EXPECT_TRUE(budget.MayCallAgain());
}

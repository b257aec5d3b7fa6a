// Where the progress fill ends and which percentage is written.
#include <gtest/gtest.h>

#include <cstring>

#include "ui/progress_math.h"

TEST(ProgressPercent, TruncatesInDoublePrecision)
{
    EXPECT_EQ(ProgressPercentText(100, 29), "28%");
    EXPECT_EQ(ProgressPercentText(100, 57), "56%");
    EXPECT_EQ(ProgressPercentText(3, 1), "33%");
    EXPECT_EQ(ProgressPercentText(3, 2), "66%");
    EXPECT_EQ(ProgressPercentText(3, 3), "100%");
    EXPECT_EQ(ProgressPercentText(100, 0), "0%");
    EXPECT_EQ(ProgressPercentText(70001, 70001), "100%");
}

TEST(ProgressPercent, EmptyRangeReadsAsDone)
{
    EXPECT_EQ(ProgressPercentText(0, 0), "100%");
}

TEST(ProgressFill, RightEdgeOfTheRedFill)
{
    EXPECT_EQ(ProgressFillRight(100, 100), 413);
    EXPECT_EQ(ProgressFillRight(3, 3), 413);
    EXPECT_EQ(ProgressFillRight(10, 10), 414);
    EXPECT_EQ(ProgressFillRight(100, 0), 224);
    EXPECT_EQ(ProgressFillRight(2, 1), 319);
}

TEST(ProgressFill, NothingIsFilledForAnEmptyRange)
{
    EXPECT_EQ(ProgressFillRight(0, 0), -1);
}

TEST(ProgressFill, NeverLeavesTheTrack)
{
    for (unsigned upper : {1u, 3u, 7u, 100u, 65535u, 70001u, 1000000u})
        for (unsigned pos = 0; pos <= upper; pos += upper / 7 + 1) {
            const int right = ProgressFillRight(upper, pos);
            EXPECT_GE(right, kTrackLeft);
            EXPECT_LE(right, kTrackRight);
        }
}

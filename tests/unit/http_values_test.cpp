// Status and Content-Length as the HTTP layer hands them back in text.
#include <gtest/gtest.h>

#include <climits>

#include "engine/http_values.h"

TEST(HttpStatus, OnlyTwoHundredsAreBodiesToKeep)
{
    EXPECT_TRUE(IsSuccessStatus("200"));
    EXPECT_TRUE(IsSuccessStatus("206"));
    for (const char* status : {"0", "404", "500", "301", "302", "199", "2", "20", "2000", "2x0", "", " 200"})
        EXPECT_FALSE(IsSuccessStatus(status)) << status;
    EXPECT_FALSE(IsSuccessStatus(nullptr));
    // A plain GET keeps a whole body only: a 206 is a part of the file, for the installer and the checker alike.
    EXPECT_TRUE(IsWholeBodyStatus("200"));
    EXPECT_TRUE(IsWholeBodyStatus("203"));
    for (const char* status : {"206", "404", "0", ""})
        EXPECT_FALSE(IsWholeBodyStatus(status)) << status;
    EXPECT_FALSE(IsWholeBodyStatus(nullptr));
}

TEST(ContentLength, ReadsLikeAtol)
{
    EXPECT_EQ(ParseDecimalPrefix("1234"), 1234);
    EXPECT_EQ(ParseDecimalPrefix("  \t42abc"), 42);
    EXPECT_EQ(ParseDecimalPrefix("+7"), 7);
    EXPECT_EQ(ParseDecimalPrefix("-5"), -5);
    EXPECT_EQ(ParseDecimalPrefix("abc"), 0);
    EXPECT_EQ(ParseDecimalPrefix(""), 0);
    EXPECT_EQ(ParseDecimalPrefix(nullptr), 0);
    EXPECT_EQ(ParseDecimalPrefix("4294967296"), 4294967296LL);
}

TEST(ContentLength, HugeValuesSaturateInsteadOfWrapping)
{
    EXPECT_EQ(ParseDecimalPrefix("99999999999999999999999"), LLONG_MAX);
    EXPECT_EQ(ParseDecimalPrefix("-99999999999999999999999"), LLONG_MIN);
}

TEST(ContentLength, AHeaderWithoutDigitsCountsAsNoHeader)
{
    long long length = 99;
    for (const char* text : {"", "abc", " ", "-", "+x", "\t"}) {
        EXPECT_FALSE(ParseContentLength(text, &length)) << text;
        EXPECT_EQ(length, 99) << text;
    }
    EXPECT_FALSE(ParseContentLength(nullptr, &length));
    ASSERT_TRUE(ParseContentLength(" 0", &length));
    EXPECT_EQ(length, 0);
    ASSERT_TRUE(ParseContentLength("-1", &length));
    EXPECT_EQ(length, -1);
    ASSERT_TRUE(ParseContentLength("12x", &length));
    EXPECT_EQ(length, 12);
}

TEST(ContentRange, ReadsWhatA206Carries)
{
    ContentRange range;
    ASSERT_TRUE(ParseContentRange("bytes 100-199/1000", &range));
    EXPECT_EQ(range.first, 100);
    EXPECT_EQ(range.last, 199);
    EXPECT_EQ(range.total, 1000);
    ASSERT_TRUE(ParseContentRange("bytes 8388608-67108863/67108864", &range));
    EXPECT_EQ(range.total, 67108864);
    ASSERT_TRUE(ParseContentRange("bytes 0-0/*", &range));
    EXPECT_EQ(range.total, -1);
    ASSERT_TRUE(ParseContentRange("bytes 4294967296-4294967300/4294967301", &range));
    EXPECT_EQ(range.first, 4294967296LL);
}

TEST(ContentRange, AnythingElseIsNoRange)
{
    ContentRange range{1, 2, 3};
    for (const char* text : {"", "bytes */1000", "bytes 5-4/10", "bytes 0-10/10", "items 0-1/2", "bytes 1-2",
                             "bytes -1-2/3", "bytes 1-2/3x", "bytes1-2/3", "bytes 99999999999999999999-1/2",
                             "bytes 1 - 2/3"}) {
        EXPECT_FALSE(ParseContentRange(text, &range)) << text;
        EXPECT_EQ(range.first, 1) << text;
    }
    EXPECT_FALSE(ParseContentRange(nullptr, &range));
}

TEST(RangeAnswer, OnlyTheRestOfTheSameFileIsAppended)
{
    EXPECT_EQ(JudgeRangeAnswer("206", "bytes 800-999/1000", 800, 1000), RangeAnswer::Append);
    // A shorter piece of the rest still joins; the length check at its end tells whether it is whole.
    EXPECT_EQ(JudgeRangeAnswer("206", "bytes 800-899/1000", 800, 1000), RangeAnswer::Append);
    EXPECT_EQ(JudgeRangeAnswer("206", "bytes 700-999/1000", 800, 1000), RangeAnswer::Unusable);
    EXPECT_EQ(JudgeRangeAnswer("206", "bytes 800-1099/1100", 800, 1000), RangeAnswer::Unusable);
    EXPECT_EQ(JudgeRangeAnswer("206", "bytes 800-999/*", 800, 1000), RangeAnswer::Unusable);
    EXPECT_EQ(JudgeRangeAnswer("206", "", 800, 1000), RangeAnswer::Unusable);
}

TEST(RangeAnswer, AWholeAnswerStartsOverAndErrorsKeepNothing)
{
    // A server without ranges, or a file changed since (If-Range did not hold): the body is the file.
    EXPECT_EQ(JudgeRangeAnswer("200", "", 800, 1000), RangeAnswer::Restart);
    EXPECT_EQ(JudgeRangeAnswer("200", "bytes 800-999/1000", 800, 1000), RangeAnswer::Restart);
    for (const char* status : {"416", "404", "500", "0", "301"})
        EXPECT_EQ(JudgeRangeAnswer(status, "bytes */1000", 800, 1000), RangeAnswer::Unusable) << status;
}

TEST(RangeRequest, NamesTheVersionByAStrongETagElseByItsDate)
{
    EXPECT_EQ(IfRangeValidator("\"5f3c-4000000\"", "Wed, 09 Dec 2026 10:00:00 GMT"), "\"5f3c-4000000\"");
    EXPECT_EQ(IfRangeValidator("W/\"5f3c\"", "Wed, 09 Dec 2026 10:00:00 GMT"), "Wed, 09 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(IfRangeValidator("", "Wed, 09 Dec 2026 10:00:00 GMT"), "Wed, 09 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(IfRangeValidator("W/\"x\"", ""), "");
    EXPECT_EQ(IfRangeValidator("\"a\"\r\nX-Evil: 1", ""), "") << "a line break never reaches the request";
    EXPECT_EQ(RangeRequestHeaders(8388608, "\"abc\""), "Range: bytes=8388608-\r\nIf-Range: \"abc\"\r\n");
}

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

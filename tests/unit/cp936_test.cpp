// The crossing between code page 936 and UTF-16: what the names of a GBK manifest become on the system.
#include <gtest/gtest.h>

#include "platform/cp936.h"

TEST(Cp936, NamesReachUtf16AsWindowsReadsThem)
{
    std::u16string wide;
    // 乗 ends in the byte 0x5C, which is no separator inside the character.
    ASSERT_TRUE(Utf16From936("\x81\x5C\\\xCA\xFD\xBE\xDD.txt", wide));
    EXPECT_EQ(u"\u4E57\\\u6570\u636E.txt", wide);
    // 0x80 is the euro sign in Windows' code page 936; full-width and Greek letters are in GBK too.
    ASSERT_TRUE(Utf16From936("\x80\xA3\xC1\xA6\xC1", wide));
    EXPECT_EQ(u"\u20AC\uFF21\u03B1", wide);
    ASSERT_TRUE(Utf16From936("", wide));
    EXPECT_TRUE(wide.empty());
}

TEST(Cp936, BytesThatAreNoCharacterAreRefused)
{
    std::u16string wide = u"stale";
    EXPECT_FALSE(Utf16From936("a\xCA", wide));        // a lead byte cut off at the end
    EXPECT_FALSE(Utf16From936("\xCA\x20.txt", wide));  // a lead byte followed by no trail byte
    EXPECT_FALSE(Utf16From936("\xFF.txt", wide));      // no character starts with 0xFF
}

TEST(Cp936, WayBackRefusesWhatCodePage936CannotHold)
{
    std::string text;
    ASSERT_TRUE(Cp936FromUtf16(u"C:\\\u5E94\u7528\\", text));   // 应用
    EXPECT_EQ("C:\\\xD3\xA6\xD3\xC3\\", text);
    // ö has no GBK form (é has one): never a '?' or an 'o' in its place.
    EXPECT_FALSE(Cp936FromUtf16(u"C:\\K\u00F6ln\\", text));
    EXPECT_FALSE(Cp936FromUtf16(u"\U0001F600", text));
    std::u16string wide;
    ASSERT_TRUE(Utf16From936("\xC7\xA7\x81\x5C", wide));
    ASSERT_TRUE(Cp936FromUtf16(wide, text));
    EXPECT_EQ("\xC7\xA7\x81\x5C", text);
}

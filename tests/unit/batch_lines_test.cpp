// The bytes of unload.bat's lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/cp936.h"
#include "shell/batch_lines.h"

namespace {

// The line for a code page 936 path as a system whose script code page is 936 writes it.
std::string LineIn936(const std::string& path936)
{
    std::u16string wide;
    std::string name;
    EXPECT_TRUE(Utf16From936(path936, wide));
    EXPECT_TRUE(Cp936FromUtf16(EscapeForBatch(wide), name));
    return FileDeleteLine(name);
}

}  // namespace

TEST(BatchLines, FileLineQuotesThePathAndEndsInCrLf)
{
    EXPECT_EQ(FileDeleteLine("C:\\Program Files\\Qelmora\\Termview.exe"),
              "del \"C:\\Program Files\\Qelmora\\Termview.exe\"\r\n");
}

TEST(BatchLines, ForwardSlashesBecomeBackslashesSoCmdDoesNotReadASwitch)
{
    EXPECT_EQ(EscapeForBatch(u"C:\\Q\\sub/b.dll"), u"C:\\Q\\sub\\b.dll");
    // The second byte 0x2F or 0x5C of a two-byte character is never changed: escaping sees characters.
    EXPECT_EQ(LineIn936("C:\\Q\\\x81\x5C/x/y"), "del \"C:\\Q\\\x81\x5C\\x\\y\"\r\n");
}

TEST(BatchLines, PercentIsDoubledSoCmdDeletesThePlacedFile)
{
    EXPECT_EQ(EscapeForBatch(u"C:\\Q\\100%.dat"), u"C:\\Q\\100%%.dat");
    EXPECT_EQ(EscapeForBatch(u"C:\\%PATH%\\a"), u"C:\\%%PATH%%\\a");
    EXPECT_EQ(FolderRemovalLine("C:\\50%%"), "rd /q/s\"C:\\50%%\"\r\n");
}

TEST(BatchLines, GroupRemovalHasNoSpaceBeforeTheQuote)
{
    EXPECT_EQ(FolderRemovalLine("C:\\Start\\Programs\\Qelmora"), "rd /q/s\"C:\\Start\\Programs\\Qelmora\"\r\n");
}

TEST(BatchLines, SelfDeleteLineUsesTheFullUnquotedPathAndHasNoLineEnd)
{
    EXPECT_STREQ(kSelfDeleteLine, "del \"%~f0\"");
    EXPECT_STREQ(kScriptFirstLine, "@setlocal DisableDelayedExpansion\r\n");
    EXPECT_EQ(std::strlen(kSelfDeleteLine), 10u);
}

TEST(BatchLines, GbkPathsComeBackByteForByteInCodePage936)
{
    const std::string path = "C:\\Q\\\xCA\xFD\xBE\xDD\x81\x5C\\a.dll";
    EXPECT_EQ(LineIn936(path), "del \"" + path + "\"\r\n");
    EXPECT_EQ(LineIn936("C:\\Q\\\xD6\xD0\xCE\xC4\\50%.dat"), "del \"C:\\Q\\\xD6\xD0\xCE\xC4\\50%%.dat\"\r\n");
}

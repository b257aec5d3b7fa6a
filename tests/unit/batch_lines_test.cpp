// The bytes of unload.bat's lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/batch_lines.h"

TEST(BatchLines, FileLineQuotesThePathAndEndsInCrLf)
{
    EXPECT_EQ(FileDeleteLine("C:\\Program Files\\Qelmora\\Termview.exe"),
              "del \"C:\\Program Files\\Qelmora\\Termview.exe\"\r\n");
}

TEST(BatchLines, ForwardSlashesBecomeBackslashesSoCmdDoesNotReadASwitch)
{
    EXPECT_EQ(FileDeleteLine("C:\\Q\\sub/b.dll"), "del \"C:\\Q\\sub\\b.dll\"\r\n");
    // The second byte of a two-byte character is never changed.
    EXPECT_EQ(EscapeForBatch("C:\\\x81/x/y"), "C:\\\x81/x\\y");
}

TEST(BatchLines, PercentIsDoubledSoCmdDeletesThePlacedFile)
{
    EXPECT_EQ(FileDeleteLine("C:\\Q\\100%.dat"), "del \"C:\\Q\\100%%.dat\"\r\n");
    EXPECT_EQ(FileDeleteLine("C:\\%PATH%\\a"), "del \"C:\\%%PATH%%\\a\"\r\n");
    EXPECT_EQ(FolderRemovalLine("C:\\50%"), "rd /q/s\"C:\\50%%\"\r\n");
}

TEST(BatchLines, GroupRemovalHasNoSpaceBeforeTheQuote)
{
    EXPECT_EQ(FolderRemovalLine("C:\\Start\\Programs\\Qelmora"), "rd /q/s\"C:\\Start\\Programs\\Qelmora\"\r\n");
}

TEST(BatchLines, SelfDeleteLineUsesTheFullUnquotedPathAndHasNoLineEnd)
{
    EXPECT_STREQ(kSelfDeleteLine, "del \"%~f0\"");
    EXPECT_EQ(std::strlen(kSelfDeleteLine), 10u);
}

TEST(BatchLines, GbkPathsAreCopiedByteForByte)
{
    const std::string path = "C:\\Q\\\xCA\xFD\xBE\xDD\x81\x5C\\a.dll";
    EXPECT_EQ(FileDeleteLine(path), "del \"" + path + "\"\r\n");
}

// The chooser's typed folder: trimmed, and accepted only as a full path.
#include "shell/typed_folder.h"

#include <gtest/gtest.h>

namespace {
// A two-byte character whose trail byte is '\' (0x5C).
const std::string kTrail5C = "\x95\x5C";
}  // namespace

TEST(TypedFolder, BlanksAroundTheTextAreDroppedInsideKept)
{
    EXPECT_EQ(TrimBlanks("  D:\\My Apps\\ \t"), "D:\\My Apps\\");
    EXPECT_EQ(TrimBlanks("\t \t"), "");
    EXPECT_EQ(TrimBlanks(""), "");
    EXPECT_EQ(TrimBlanks(" " + kTrail5C + " "), kTrail5C);
}

TEST(TypedFolder, DrivePathsAndSharesAreFull)
{
    for (const char* full : {"D:\\", "d:/Apps", "C:\\Program Files\\Qelmora\\", "\\\\server\\share",
                             "\\\\server\\share\\Qelmora", "//server/share/"}) {
        EXPECT_TRUE(IsFullFolderPath(full)) << full;
    }
    EXPECT_TRUE(IsFullFolderPath("\\\\" + kTrail5C + "\\share"));
}

TEST(TypedFolder, PathsThatDependOnWhereTheProgramRunsAreNot)
{
    for (const char* relative : {"Apps", "D:Apps", "D:", "\\Apps", "/Apps", "1:\\Apps", ":\\Apps", "\\\\server",
                                 "\\\\server\\", "\\\\\\share", "\\\\?\\C:\\Apps", "\\\\.\\C:\\Apps", "\\\\"}) {
        EXPECT_FALSE(IsFullFolderPath(relative)) << relative;
    }
    // The separator in "\\x\" is the trail byte of a character: no share follows.
    EXPECT_FALSE(IsFullFolderPath("\\\\x" + kTrail5C));
}

TEST(TypedFolder, ReadingTheChoosersText)
{
    std::string folder;
    EXPECT_EQ(ReadTypedFolder("   ", folder), TypedFolder::Empty);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(ReadTypedFolder(" D:\\Apps ", folder), TypedFolder::Full);
    EXPECT_EQ(folder, "D:\\Apps");
    EXPECT_EQ(ReadTypedFolder(" Apps", folder), TypedFolder::NotFull);
    EXPECT_EQ(folder, "Apps");
}

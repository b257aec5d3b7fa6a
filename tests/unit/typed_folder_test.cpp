// The chooser's typed folder (trimmed, and accepted only as a full path) and the folder a quick install offers.
#include "shell/typed_folder.h"

#include "engine/list/path_rules.h"
#include "shell/install_dir_choice.h"

#include <gtest/gtest.h>

namespace {
// A two-byte character whose trail byte is '\' (0x5C).
const std::string kTrail5C = "\x95\x5C";
}  // namespace

TEST(TypedFolder, BlanksAroundTheTextAreDroppedInsideKept)
{
    EXPECT_EQ(TrimBlanks(u"  D:\\My Apps\\ \t"), u"D:\\My Apps\\");
    EXPECT_EQ(TrimBlanks(u"\t \t"), u"");
    EXPECT_EQ(TrimBlanks(u""), u"");
    EXPECT_EQ(TrimBlanks(u" 应用 "), u"应用");
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
    EXPECT_EQ(ReadTypedFolder(u"   ", folder), TypedFolder::Empty);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(ReadTypedFolder(u" D:\\Apps ", folder), TypedFolder::Full);
    EXPECT_EQ(folder, "D:\\Apps");
    EXPECT_EQ(ReadTypedFolder(u" Apps", folder), TypedFolder::NotFull);
    EXPECT_EQ(folder, "Apps");
}

TEST(TypedFolder, PastedTextIsTakenInItsOwnCharacters)
{
    std::string folder;
    // A Chinese folder pasted on a Western system, and a Latin one: both have a code page 936 form.
    EXPECT_EQ(ReadTypedFolder(u"\tC:\\应用\\ ", folder), TypedFolder::Full);
    EXPECT_EQ(folder, "C:\\\xD3\xA6\xD3\xC3\\");
    EXPECT_EQ(ReadTypedFolder(u"C:\\Café\\", folder), TypedFolder::Full);
    EXPECT_EQ(folder, "C:\\Caf\xA8\xA6\\");
    // One without is refused, never turned into '?'.
    EXPECT_EQ(ReadTypedFolder(u"C:\\\U0001F600\\", folder), TypedFolder::NoGbkForm);
    EXPECT_EQ(ReadTypedFolder(u"C:\\\uD55C\uAD6D\\", folder), TypedFolder::NoGbkForm);
    EXPECT_EQ(folder.find('?'), std::string::npos);
}

TEST(InstallDirChoice, TheProbeLooksFromTheDeepestFolderDownToTheRoot)
{
    const std::vector<std::string> expected = {"C:\\Program Files\\Qelmora", "C:\\Program Files", "C:\\"};
    EXPECT_EQ(ProbeFolders("C:\\Program Files\\Qelmora\\"), expected);
    EXPECT_EQ(ProbeFolders("C:\\Program Files\\Qelmora"), expected);
    EXPECT_EQ(ProbeFolders("D:\\"), std::vector<std::string>{"D:\\"});
    EXPECT_EQ(ProbeFolders("\\\\server\\share\\Q\\"), (std::vector<std::string>{"\\\\server\\share\\Q", "\\\\server\\share\\"}));
    // A trail byte 0x5C of a two-byte character is no separator.
    EXPECT_EQ(ProbeFolders("D:\\" + kTrail5C + "\\"), (std::vector<std::string>{"D:\\" + kTrail5C, "D:\\"}));
    EXPECT_TRUE(ProbeFolders("Apps\\").empty());
    EXPECT_TRUE(ProbeFolders("").empty());
}

TEST(InstallDirChoice, ThePerUserFolderIsNamedInCodePage936OrByItsShortForm)
{
    EXPECT_EQ(PerUserInstallDir(u"C:\\Users\\li\\AppData\\Local\\Programs", u""),
              "C:\\Users\\li\\AppData\\Local\\Programs\\Qelmora\\");
    EXPECT_EQ(PerUserInstallDir(u"C:\\Users\\李\\AppData\\Local\\Programs\\", u""),
              "C:\\Users\\\xC0\xEE\\AppData\\Local\\Programs\\Qelmora\\");
    // A Korean user name has no code page 936 form: the short form stands in, never '?'.
    EXPECT_EQ(PerUserInstallDir(u"C:\\Users\\\uD55C\\AppData\\Local\\Programs", u"C:\\Users\\D55C~1\\AppData\\Local\\Programs"),
              "C:\\Users\\D55C~1\\AppData\\Local\\Programs\\Qelmora\\");
    EXPECT_EQ(PerUserInstallDir(u"C:\\Users\\\uD55C\\AppData\\Local\\Programs", u""), "");
    EXPECT_EQ(PerUserInstallDir(u"Programs", u""), "");
    EXPECT_EQ(PerUserInstallDir(u"", u""), "");
}

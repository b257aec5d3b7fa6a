// From manifest line to request path and local path, and the lines that are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list/path_rules.h"

namespace {
// 乗 is 0x81 0x5C and 亅 is 0x81 0x7C in code page 936: their second bytes look like '\' and '|'.
const std::string kTrail5C = "\x81\x5C";
const std::string kTrail7C = "\x81\x7C";
// A two-byte character as a request escapes it.
std::string Escaped(const std::string& character)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : character)
        escaped += std::string("%") + kHex[c >> 4] + kHex[c & 0x0F];
    return escaped;
}
const std::string kDir = "C:\\Program Files\\Qelmora\\";
}  // namespace

TEST(LeadBytes, SeparatorSearchStepsOverTwoByteCharacters)
{
    const std::string path = "a" + kTrail5C + "b\\c";
    EXPECT_EQ(FindFirstChar936(path, "\\"), 4u);
    EXPECT_EQ(FindLastChar936(path, "\\"), 4u);
    EXPECT_EQ(FindLastChar936(kTrail5C, "\\"), std::string::npos);
    EXPECT_EQ(FindFirstChar936("abc", "/"), std::string::npos);
}

TEST(RequestPath, PrefixIsTheManifestFolderOnTheServer)
{
    EXPECT_EQ(RequestPrefix("/Lineinstall_qmra/list.txt"), "/Lineinstall_qmra/");
    EXPECT_EQ(RequestPrefix("list.txt"), "");
    EXPECT_EQ(RequestPrefix("/list.txt"), "/");
}

TEST(RequestPath, OnlyLinesWithADotAfterTheFirstCharacterAreFetched)
{
    EXPECT_TRUE(IsFetchedLine("/Lineinstall_qmra/Termview.exe"));
    EXPECT_TRUE(IsFetchedLine("/Lineinstall_qmra/.cfg"));
    EXPECT_FALSE(IsFetchedLine("/Lineinstall_qmra/bin"));
    EXPECT_FALSE(IsFetchedLine("/Lineinstall_qmra/"));
    EXPECT_FALSE(IsFetchedLine(".hidden"));
}

TEST(LocalPath, RelativePathIsTheManifestLineForTheFixedFolder)
{
    EXPECT_EQ(RelativePathOf("/Lineinstall_qmra/Termview.exe"), "Termview.exe");
    EXPECT_EQ(RelativePathOf("/Lineinstall_qmra/data/skin.bmp"), "data/skin.bmp");
    EXPECT_EQ(RelativePathOf("/Lineinstall_qmra/data\\skin.bmp"), "data\\skin.bmp");
    EXPECT_EQ(RelativePathOf("noslash.dll"), "noslash.dll");
    EXPECT_EQ(RelativePathOf("/only.dll"), "only.dll");
}

TEST(LocalPath, SafeLinesAreAccepted)
{
    for (const std::string& line : {std::string("Termview.exe"), std::string("data/skin.bmp"), std::string("a\\b\\c.dll"),
                                    std::string(".cfg"), std::string("./x.dll"), std::string("with space.txt"),
                                    std::string("100%.dat"), kTrail5C + "\\" + kTrail7C + ".txt",
                                    std::string("consoles.dll"), std::string("com10.dll")})
        EXPECT_EQ(CheckLocalPath(kDir, line), PathVerdict::Ok) << line;
}

TEST(LocalPath, LinesThatLeaveTheFolderOrAreMisreadAreRefused)
{
    const struct {
        std::string line;
        PathVerdict verdict;
    } cases[] = {
        {"", PathVerdict::Empty},
        {"C:\\Windows\\evil.dll", PathVerdict::Colon},
        {"C:evil.dll", PathVerdict::Colon},
        {"file.txt:stream", PathVerdict::Colon},
        {"\\evil.dll", PathVerdict::Rooted},
        {"/evil.dll", PathVerdict::Rooted},
        {"\\\\server\\share\\evil.dll", PathVerdict::Rooted},
        {"..\\evil.dll", PathVerdict::DotDot},
        {"a/../../evil.dll", PathVerdict::DotDot},
        {"a\\..", PathVerdict::DotDot},
        {"a<b.dll", PathVerdict::BadChar},
        {"a>b.dll", PathVerdict::BadChar},
        {"a\"b.dll", PathVerdict::BadChar},
        {"a|b.dll", PathVerdict::BadChar},
        {"a?.dll", PathVerdict::BadChar},
        {"*.dll", PathVerdict::BadChar},
        {"tab\t.dll", PathVerdict::BadChar},
        {"cut\x81", PathVerdict::BadChar},
        // Bytes that name no GBK character: 0xFF alone, a pair the code page leaves undefined.
        {"a\xFF.dll", PathVerdict::BadChar},
        {"a\xA2\xA0.dll", PathVerdict::BadChar},
        {"name.dll.", PathVerdict::BadName},
        {"name.dll ", PathVerdict::BadName},
        {"dir./a.dll", PathVerdict::BadName},
        {"v1.2/", PathVerdict::BadName},
        {"con.txt", PathVerdict::Reserved},
        {"sub/NUL", PathVerdict::Reserved},
        {"LPT1.log", PathVerdict::Reserved},
        {"a.dll.~qdl", PathVerdict::Reserved},
        {"a.dll.~QDL", PathVerdict::Reserved},
        {"CONIN$.txt", PathVerdict::Reserved},
        {"sub/conout$", PathVerdict::Reserved},
        {"clock$.dat", PathVerdict::Reserved},
        {"COM0.dll", PathVerdict::Reserved},
        {"lpt0", PathVerdict::Reserved},
        {std::string("nul\0byte.dll", 12), PathVerdict::BadChar},
        {std::string("a\x81\0.dll", 7), PathVerdict::BadChar},
        {"bad\x81\x20trail.dll", PathVerdict::BadChar},
        {"bad\x81\x7Ftrail.dll", PathVerdict::BadChar},
        {"bad\x81\xFFtrail.dll", PathVerdict::BadChar},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckLocalPath(kDir, c.line), c.verdict) << c.line;
}

TEST(LocalPath, TheProductPathMayUseAll259BytesItsTemporaryNameTakesNone)
{
    const size_t room = kMaxPathBytes - 1 - kDir.size();
    EXPECT_EQ(CheckLocalPath(kDir, std::string(room - 4, 'x') + ".dll"), PathVerdict::Ok);
    EXPECT_EQ(CheckLocalPath(kDir, std::string(room - 3, 'x') + ".dll"), PathVerdict::TooLong);
    EXPECT_EQ(CheckRelativePath(std::string(256, 'y') + "/a.dll"), PathVerdict::TooLong);
}

TEST(LocalPath, FolderLinesFollowTheSameRulesWithoutTheirFinalSeparators)
{
    EXPECT_EQ(CheckLocalFolder(kDir, "plugins.d/"), PathVerdict::Ok);
    EXPECT_EQ(CheckLocalFolder(kDir, "Microsoft.VC90.CRT"), PathVerdict::Ok);
    EXPECT_EQ(CheckLocalFolder(kDir, "a\\b//"), PathVerdict::Ok);
    EXPECT_EQ(CheckLocalFolder(kDir, kTrail5C + "\\"), PathVerdict::Ok);
    EXPECT_EQ(CheckLocalFolder(kDir, "/"), PathVerdict::Empty);
    EXPECT_EQ(CheckLocalFolder(kDir, "../"), PathVerdict::DotDot);
    EXPECT_EQ(CheckLocalFolder(kDir, "C:\\x\\"), PathVerdict::Colon);
    EXPECT_EQ(CheckLocalFolder(kDir, "con/"), PathVerdict::Reserved);
    EXPECT_EQ(CheckLocalFolder(kDir, std::string(kMaxPathBytes - kDir.size(), 'd') + "/"), PathVerdict::TooLong);
}

TEST(RequestPath, BytesAServerWouldNotTakeRawAreEscapedInTheLineOnly)
{
    const std::string prefix = "/Line%20install/";
    EXPECT_EQ(RequestObject(prefix, "100%.txt"), prefix + "100%25.txt");
    EXPECT_EQ(RequestObject(prefix, "a#b.txt"), prefix + "a%23b.txt");
    EXPECT_EQ(RequestObject(prefix, "x[1]{2}^`.dat\x7F"), prefix + "x%5B1%5D%7B2%7D%5E%60.dat%7F");
    EXPECT_EQ(RequestObject(prefix, "with space\\sub/a.dll"), prefix + "with space\\sub/a.dll");
    // Two-byte characters go as %XX of their bytes, a trail byte '\\' or '|' included: ASCII on the wire.
    EXPECT_EQ(RequestObject(prefix, "\xCA\xFD" + kTrail5C + kTrail7C + ".txt"),
              prefix + "%CA%FD" + Escaped(kTrail5C) + Escaped(kTrail7C) + ".txt");
    EXPECT_EQ(RequestObject(prefix, "\xD6\xD0\\a.dll"), prefix + "%D6%D0\\a.dll");
    EXPECT_EQ(RequestObject(prefix, "odd\x80\xFF.bin"), prefix + "odd%80%FF.bin");
}

TEST(LocalPath, LiteralFormForExtendedLengthNames)
{
    EXPECT_EQ(LiteralPath936("C:\\Program Files\\Qelmora\\a/b//./c.dll.~qdl"),
              "C:\\Program Files\\Qelmora\\a\\b\\c.dll.~qdl");
    EXPECT_EQ(LiteralPath936("\\\\server\\share\\q/x.dll"), "\\\\server\\share\\q\\x.dll");
    EXPECT_EQ(LiteralPath936("D:/" + kTrail5C + "/f.txt"), "D:\\" + kTrail5C + "\\f.txt");
    EXPECT_EQ(LiteralPath936("D:\\dir\\"), "D:\\dir\\");
}

TEST(LocalPath, TemporaryNameIsBesideTheTargetAndNeverAProductName)
{
    const std::string temp = TempPathFor(kDir + "a.dll");
    EXPECT_EQ(temp.rfind(kDir, 0), 0u);
    EXPECT_NE(CheckRelativePath(temp.substr(kDir.size())), PathVerdict::Ok);
}

TEST(InstallDir, FolderGetsItsFinalSeparatorAndBadFoldersFallBack)
{
    EXPECT_EQ(NormalizeInstallDir("D:\\Apps", kDir), "D:\\Apps\\");
    EXPECT_EQ(NormalizeInstallDir("D:\\Apps\\", kDir), "D:\\Apps\\");
    EXPECT_EQ(NormalizeInstallDir("D:/Apps/", kDir), "D:/Apps/");
    EXPECT_EQ(NormalizeInstallDir("D:\\" + kTrail5C, kDir), "D:\\" + kTrail5C + "\\");
    EXPECT_EQ(NormalizeInstallDir("\\\\server\\share\\q", kDir), "\\\\server\\share\\q\\");
    EXPECT_EQ(NormalizeInstallDir("", kDir), kDir);
    EXPECT_EQ(NormalizeInstallDir("Apps", kDir), kDir);
    EXPECT_EQ(NormalizeInstallDir("D:Apps", kDir), kDir);
    EXPECT_EQ(NormalizeInstallDir("\\Apps", kDir), kDir);
    EXPECT_EQ(NormalizeInstallDir("1:\\Apps", kDir), kDir);
}

TEST(FolderLevels, EveryLevelAtEitherSeparatorOutermostFirst)
{
    using Levels = std::vector<std::string>;
    EXPECT_EQ(FolderLevels("C:\\Program Files\\Qelmora\\a/b/c.dll"),
              (Levels{"C:\\Program Files", "C:\\Program Files\\Qelmora", "C:\\Program Files\\Qelmora\\a",
                      "C:\\Program Files\\Qelmora\\a/b"}));
    EXPECT_EQ(FolderLevels("C:\\x\\\\y\\"), (Levels{"C:\\x", "C:\\x\\\\y"}));
    EXPECT_EQ(FolderLevels("C:\\file.txt"), Levels{});
    EXPECT_EQ(FolderLevels("\\\\server\\share\\d\\f.txt"), (Levels{"\\\\server\\share\\d"}));
    EXPECT_EQ(FolderLevels("C:\\" + kTrail5C + "\\f.txt"), (Levels{"C:\\" + kTrail5C}));
    EXPECT_EQ(FolderLevels(""), Levels{});
}

TEST(SpecialFolder, AFolderTheSystemGivesInUtf16IsAbsoluteByTheSameRule)
{
    EXPECT_TRUE(IsFullFolderPath(u"C:\\用户\\桌面"));
    EXPECT_TRUE(IsFullFolderPath(u"\\\\server\\共享"));
    EXPECT_FALSE(IsFullFolderPath(u"桌面"));
    EXPECT_FALSE(IsFullFolderPath(u"Q:"));
    EXPECT_FALSE(IsFullFolderPath(u"\\\\\\x"));
    EXPECT_FALSE(IsFullFolderPath(u"\uFF23:\\x"));   // a full-width letter is no drive
}

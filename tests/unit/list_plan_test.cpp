// The one reading of a manifest: kinds, refusals, paths and same files, as the walk follows them and the tools print them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list/list_files.h"
#include "engine/list/list_plan.h"

namespace {

const std::string kPrefix = "/Lineinstall_qmra/";
const std::string kDir = kDefaultInstallDir936;

std::vector<ListEntry> Entries(const std::vector<std::string>& texts)
{
    std::vector<ListEntry> entries;
    for (const std::string& text : texts)
        entries.push_back(ListEntry{static_cast<int>(entries.size()), text});
    return entries;
}

// Holds the lines and their plan together, as the walk and the tools do.
struct Planned {
    explicit Planned(const std::vector<std::string>& texts, const std::string& prefix = kPrefix,
                     const std::string& dir = kDir)
        : entries(Entries(texts)), lines(entries), plan(lines, prefix, dir)
    {
    }
    std::vector<LineKind> Kinds() const
    {
        std::vector<LineKind> kinds;
        for (size_t i = 0; i < plan.size(); ++i)
            kinds.push_back(plan[i].kind);
        return kinds;
    }
    std::vector<ListEntry> entries;
    EntryLines lines;
    ListPlan plan;
};

using K = LineKind;
using V = PathVerdict;

}  // namespace

TEST(ListPlan, ListingToolManifestsNameTheirFoldersWithAndWithoutDots)
{
    EXPECT_EQ(Planned({"Microsoft.VC90.CRT", "Microsoft.VC90.CRT\\msvcr90.dll", "plugins.d/", "plugins.d/a.so", "bin",
                       "bin/tool.exe", "Termview.exe", "README", ""})
                  .Kinds(),
              (std::vector<K>{K::Folder, K::File, K::Folder, K::File, K::Folder, K::File, K::File, K::Skipped,
                              K::Skipped}));
    // "lib.d" is not a folder of "lib.dx/a.dll"; "data" is one of "data\\x\\y.bin" at its first level.
    EXPECT_EQ(Planned({"lib.d", "lib.dx/a.dll", "data", "data\\x\\y.bin", "data\\x"}).Kinds(),
              (std::vector<K>{K::File, K::File, K::Folder, K::File, K::Folder}));
}

TEST(ListPlan, ATrailByteThatLooksLikeASeparatorEndsNoFolder)
{
    const std::string fifth = "\x81\x5C";   // 乗: its second byte is 0x5C
    EXPECT_EQ(Planned({"a" + fifth, "x" + fifth + ".txt"}).Kinds(), (std::vector<K>{K::Skipped, K::File}));
    // A line ending in a lead byte is no folder of a line that goes on with 0x5C: that is one character.
    EXPECT_EQ(Planned({"a\x81", "a" + fifth + "b.txt"}).Kinds(), (std::vector<K>{K::Skipped, K::File}));
    EXPECT_EQ(Planned({"/evil.dll", ""}).Kinds(), (std::vector<K>{K::File, K::Skipped}));
}

TEST(ListPlan, RefusalsAndPathsAsTheWalkUsesThem)
{
    const Planned p({"bin\\app.exe", "LICENSE", "plugins.d\\tool", "plugins.d", "CON.txt", "a\\..\\b.dll",
                     "x.txt.~qdl", "docs\\", "", "bad.\\y.txt"});
    const ListPlan& plan = p.plan;
    EXPECT_EQ(plan[0].kind, K::File);
    EXPECT_FALSE(plan[0].Refused());
    EXPECT_EQ(plan.RequestPath(0), kPrefix + "bin\\app.exe");
    EXPECT_EQ(plan.LocalPath(0), kDir + "bin\\app.exe");
    EXPECT_EQ(plan.LocalBytes(0), kDir.size() + 11);
    EXPECT_EQ(plan[1].kind, K::Skipped);
    EXPECT_EQ(plan[2].kind, K::File);   // a dotted folder makes its dotless file fetched
    EXPECT_EQ(plan[3].kind, K::Folder);
    EXPECT_EQ(plan.LocalPath(3), kDir + "plugins.d\\");
    EXPECT_EQ(plan[4].verdict, V::Reserved);
    EXPECT_EQ(plan[5].verdict, V::DotDot);
    EXPECT_EQ(plan[6].verdict, V::Reserved);
    EXPECT_EQ(plan[7].kind, K::Folder);
    EXPECT_EQ(plan.LocalPath(7), kDir + "docs\\");
    EXPECT_EQ(plan[8].kind, K::Skipped);
    EXPECT_EQ(plan[9].verdict, V::BadName);
    EXPECT_EQ(plan.FileLines(), (std::vector<size_t>{0, 2, 4, 5, 6, 9}));
    // With the manifest two folders deep, the second folder becomes part of the local path, and "b:c/x.txt" holds a ':'.
    EXPECT_EQ(Planned({"x.txt"}, "/a/b:c/").plan[0].verdict, V::Colon);
    EXPECT_EQ(Planned({"a.txt"}, "/a/b/", "C:\\").plan.LocalPath(0), "C:\\b/a.txt");
}

TEST(ListPlan, TheInstallersOwnFilesAreNeverTargets)
{
    // The installer holds unload.bat open in the install folder and removes a list.txt there at the end of the
    // run: such a line is refused at once, in any case and below it, and wherever the folder is; a file of
    // that name deeper down is an ordinary file.
    const Planned p({"unload.bat", "UNLOAD.Bat", "./unload.bat", "unload.bat\\x.dll", "unload.bat\\", "LIST.TXT",
                     "List.txt\\a.dll", "sub\\unload.bat", "unload.bat.txt", "sub\\list.txt", "list.txt.bak"});
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(p.plan[i].verdict, V::InstallerFile) << i;
    for (size_t i = 7; i < p.plan.size(); ++i)
        EXPECT_FALSE(p.plan[i].Refused()) << i;
    EXPECT_EQ(Planned({"Unload.BAT", "list.TXT"}, kPrefix, "D:\\应用\\").plan[1].verdict, V::InstallerFile);
}

TEST(ListPlan, LinesThatCannotFitAreRefusedAtOnce)
{
    const std::string fits = std::string(259 - kDir.size() - 4, 'a') + ".txt";
    const std::string huge(16 * 1024, 'x');
    const Planned p({fits, "x" + fits, huge + ".dll", "d\\" + huge + "\\", "f" + std::string(300, '\\'), huge, "ok\\" + fits});
    EXPECT_FALSE(p.plan[0].Refused());
    EXPECT_EQ(p.plan.LocalBytes(0), 259u);
    EXPECT_EQ(p.plan[1].verdict, V::TooLong);
    EXPECT_EQ(p.plan[2].verdict, V::TooLong);
    EXPECT_EQ(p.plan[3].kind, K::Folder);
    EXPECT_EQ(p.plan[3].verdict, V::TooLong);
    // Final separators are not counted: a folder line with many of them still fits.
    EXPECT_EQ(p.plan[4].kind, K::Folder);
    EXPECT_FALSE(p.plan[4].Refused());
    // A long line without a '.' is still only skipped: nothing is placed for it.
    EXPECT_EQ(p.plan[5].kind, K::Skipped);
    EXPECT_FALSE(p.plan[5].Refused());
    EXPECT_EQ(p.plan[6].verdict, V::TooLong);
    // Whether a line is a folder does not hang on the install folder's length: "plugins.d" stays the folder
    // of a line that fits below the default folder and not below a longer one.
    const std::vector<std::string> lines = {"plugins.d", "plugins.d\\" + std::string(200, 'p') + ".dll"};
    const Planned longer(lines, kPrefix, "D:\\" + std::string(60, 'f') + "\\");
    EXPECT_EQ(Planned(lines).Kinds(), (std::vector<K>{K::Folder, K::File}));
    EXPECT_EQ(longer.Kinds(), (std::vector<K>{K::Folder, K::File}));
    EXPECT_EQ(longer.plan[1].verdict, V::TooLong);
}

TEST(ListPlan, SameFilesAsWindowsSeesThem)
{
    const Planned p({"App.exe", "a\\b.txt", "app.EXE", "A/B.TXT", "c.txt", "C.txt\\d.dll", "x.dll", "x.dll"});
    EXPECT_EQ(p.plan.SameFiles(), (std::vector<std::pair<size_t, size_t>>{{0, 2}, {1, 3}, {4, 5}, {6, 7}}));
    // Beyond ASCII, as NTFS compares: full-width Ａ/ａ, Greek Α/α, Cyrillic А/а, Roman numerals Ⅰ/ⅰ.
    const Planned q({"\xA3\xC1.dll", "\xA3\xE1.dll", "\xA6\xA1.txt", "\xA6\xC1.txt", "\xA7\xA1.txt", "\xA7\xD1.txt",
                     "\xA2\xF1.txt", "\xA2\xA1.txt"});
    EXPECT_EQ(q.plan.SameFiles(), (std::vector<std::pair<size_t, size_t>>{{0, 1}, {2, 3}, {4, 5}, {6, 7}}));
    // Characters that only look alike, and a folder line spelt like its files' folder, are no clash.
    EXPECT_TRUE(Planned({"\x81\x61.txt", "\x81\x41.txt", "\xA3\xC1.txt", "A.txt"}).plan.SameFiles().empty());
    EXPECT_TRUE(Planned({"Docs\\", "docs\\a.txt", "x\\y.txt", "x\\z.txt"}).plan.SameFiles().empty());
    // Refused lines take no part: they are refused already.
    EXPECT_TRUE(Planned({"CON.txt", "con.txt"}).plan.SameFiles().empty());
}

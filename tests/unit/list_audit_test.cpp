// The publisher's view of a file list: per-line verdicts as the installer reaches them, wire objects, same names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list_audit.h"

namespace {

const std::string kPrefix = "/Lineinstall_qmra/";

std::vector<ListEntry> Lines(const std::vector<std::string>& texts)
{
    std::vector<ListEntry> entries;
    for (const std::string& text : texts)
        entries.push_back(ListEntry{static_cast<int>(entries.size()), text});
    return entries;
}

}  // namespace

TEST(ListAudit, KindsAndRefusalsAsTheWalkDecides)
{
    const auto audits = AuditList(Lines({"bin\\app.exe", "LICENSE", "plugins.d\\tool", "plugins.d", "CON.txt",
                                         "a\\..\\b.dll", "x.txt.~qdl", "docs\\", "", "bad.\\y.txt"}),
                                  kPrefix, kDefaultInstallDir936);
    ASSERT_EQ(audits.size(), 10u);
    EXPECT_EQ(audits[0].kind, LineKind::File);
    EXPECT_EQ(audits[0].verdict, PathVerdict::Ok);
    EXPECT_EQ(audits[0].localBytes, std::string(kDefaultInstallDir936).size() + 11);
    EXPECT_EQ(audits[1].kind, LineKind::Skipped);
    // A dotted folder makes its dotless file fetched; the folder line itself is a folder.
    EXPECT_EQ(audits[2].kind, LineKind::File);
    EXPECT_EQ(audits[3].kind, LineKind::Folder);
    EXPECT_EQ(audits[3].verdict, PathVerdict::Ok);
    EXPECT_EQ(audits[4].verdict, PathVerdict::Reserved);
    EXPECT_EQ(audits[5].verdict, PathVerdict::DotDot);
    EXPECT_EQ(audits[6].verdict, PathVerdict::Reserved);
    EXPECT_EQ(audits[7].kind, LineKind::Folder);
    EXPECT_EQ(audits[8].kind, LineKind::Skipped);
    EXPECT_EQ(audits[9].verdict, PathVerdict::BadName);
}

TEST(ListAudit, LocalPathLimitCountsTheInstallFolder)
{
    const std::string dir = kDefaultInstallDir936;
    const std::string fits = std::string(259 - dir.size() - 4, 'a') + ".txt";
    const auto audits = AuditList(Lines({fits, "x" + fits}), kPrefix, dir);
    EXPECT_EQ(audits[0].verdict, PathVerdict::Ok);
    EXPECT_EQ(audits[0].localBytes, 259u);
    EXPECT_EQ(audits[1].verdict, PathVerdict::TooLong);
}

TEST(ListAudit, LocalPathIsTheRequestPathLessItsFirstFolder)
{
    // With the manifest two folders deep, the second folder becomes part of the local path.
    // "b:c/x.txt" is what lands below the install folder, and it holds a ':'.
    EXPECT_EQ(AuditList(Lines({"x.txt"}), "/a/b:c/", kDefaultInstallDir936).front().verdict, PathVerdict::Colon);
    EXPECT_EQ(AuditList(Lines({"a.txt"}), "/a/b/", "C:\\").front().localBytes, 3u + 7u);
}

TEST(ListAudit, WireObjectEscapesAsTheInstallerAndSendsSlashes)
{
    EXPECT_EQ(WireObject(kPrefix, "docs\\100% sure#1.txt"), "/Lineinstall_qmra/docs/100%25%20sure%231.txt");
    // 0x95 0x5C is one character whose trail byte is '\': both bytes go escaped, the separator as '/'.
    EXPECT_EQ(WireObject(kPrefix, "\x95\x5C\\a.txt"), "/Lineinstall_qmra/%95%5C/a.txt");
    EXPECT_EQ(WireObject("/x y/", "a.txt"), "/x%20y/a.txt");
}

TEST(ListAudit, DigestFileLineIsLowerHexTwoSpacesAndTheLine)
{
    Sha256Digest digest{};
    digest[0] = 0xAB;
    digest[31] = 0x0F;
    const std::string line = DigestFileLine(digest, "\xB2\xE5\xBC\xFE\\a.dll");
    EXPECT_EQ(line, "ab" + std::string(60, '0') + "0f  \xB2\xE5\xBC\xFE\\a.dll\n");
    DigestList list;
    ASSERT_TRUE(list.Read(line.data(), line.size()));
    EXPECT_EQ(list.size(), 1u);
}

TEST(ListAudit, SameNamesIgnoreLatinCaseAndSeparators)
{
    const auto same = FindSameNames(Lines({"App.exe", "a\\b.txt", "app.EXE", "A/B.TXT", "c.txt", "C.txt\\d.dll"}));
    ASSERT_EQ(same.size(), 3u);
    EXPECT_EQ(same[0], std::make_pair(size_t{0}, size_t{2}));
    EXPECT_EQ(same[1], std::make_pair(size_t{1}, size_t{3}));
    EXPECT_EQ(same[2], std::make_pair(size_t{4}, size_t{5}));
}

TEST(ListAudit, SameNamesLeaveTwoByteCharactersAlone)
{
    // 0x81 0x61 and 0x81 0x41 are two different characters whose trail bytes look like 'a' and 'A'.
    EXPECT_TRUE(FindSameNames(Lines({"\x81\x61.txt", "\x81\x41.txt"})).empty());
    // A folder line spelt as its files' folder is the same folder, not a clash.
    EXPECT_TRUE(FindSameNames(Lines({"Docs\\", "docs\\a.txt", "x\\y.txt", "x\\z.txt"})).empty());
}

// Which manifest lines are files, folders, or neither.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/line_kinds.h"

namespace {
std::vector<LineKind> Kinds(const std::vector<std::string>& lines)
{
    std::vector<ListEntry> entries;
    for (const std::string& line : lines)
        entries.push_back(ListEntry{static_cast<int>(entries.size()), line});
    return ClassifyLines(entries, "/Lineinstall_qmra/");
}
using K = LineKind;
}  // namespace

TEST(LineKinds, ListingToolManifestsNameTheirFoldersWithAndWithoutDots)
{
    EXPECT_EQ(Kinds({"Microsoft.VC90.CRT", "Microsoft.VC90.CRT\\msvcr90.dll", "plugins.d/", "plugins.d/a.so",
                     "bin", "bin/tool.exe", "Termview.exe", "README", ""}),
              (std::vector<K>{K::Folder, K::File, K::Folder, K::File, K::Folder, K::File, K::File, K::Skipped,
                              K::Skipped}));
}

TEST(LineKinds, AFolderIsNamedOnlyByAWholeComponent)
{
    // "lib.d" is not a folder of "lib.dx/a.dll"; "data" is one of "data\\x\\y.bin" at its first level.
    EXPECT_EQ(Kinds({"lib.d", "lib.dx/a.dll", "data", "data\\x\\y.bin", "data\\x"}),
              (std::vector<K>{K::File, K::File, K::Folder, K::File, K::Folder}));
}

TEST(LineKinds, ATrailByteThatLooksLikeASeparatorEndsNoFolder)
{
    const std::string fifth = "\x81\x5C";   // 乗: its second byte is 0x5C
    EXPECT_EQ(Kinds({"a" + fifth, "x" + fifth + ".txt"}), (std::vector<K>{K::Skipped, K::File}));
    EXPECT_EQ(Kinds({"/evil.dll", ""}), (std::vector<K>{K::File, K::Skipped}));
}

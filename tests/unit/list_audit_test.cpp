// How the tools show a line: wire objects as WinINet sends them, list.sha256's digest lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list/list_audit.h"
#include "engine/list/list_lines.h"

namespace {

const std::string kPrefix = "/Lineinstall_qmra/";

}  // namespace

TEST(ListAudit, WireObjectEscapesAsTheInstallerAndSendsSlashes)
{
    EXPECT_EQ(WireObject(kPrefix, "docs\\100% sure#1.txt"), "/Lineinstall_qmra/docs/100%25%20sure%231.txt");
    // 0x95 0x5C is one character whose trail byte is '\': both bytes go escaped, the separator as '/'.
    EXPECT_EQ(WireObject(kPrefix, "\x95\x5C\\a.txt"), "/Lineinstall_qmra/%95%5C/a.txt");
    EXPECT_EQ(WireObject("/x y/", "a.txt"), "/x%20y/a.txt");
}

TEST(ListAudit, DigestFileLineIsLowerHexTheSizeAndTheLine)
{
    Sha256Digest digest{};
    digest[0] = 0xAB;
    digest[31] = 0x0F;
    const std::string line = DigestFileLine(digest, 1048576, "\xB2\xE5\xBC\xFE\\a.dll");
    EXPECT_EQ(line, "ab" + std::string(60, '0') + "0f  1048576  \xB2\xE5\xBC\xFE\\a.dll\n");
    const std::string manifest = "\xB2\xE5\xBC\xFE\\a.dll\r\n";
    PackedLines lines;
    ASSERT_TRUE(lines.Read(manifest.data(), manifest.size()));
    DigestList list;
    ASSERT_TRUE(list.Read(line.data(), line.size(), lines, {0}));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.SizeOf(0), 1048576);
}

// Reading list.sha256's digest lines (digest, size, line) and binding them to the file lines of list.txt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list/digest_list.h"
#include "engine/list/list_lines.h"

namespace {

const std::string kA(64, 'a');
const std::string kB = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

PackedLines Manifest(const std::string& body)
{
    PackedLines lines;
    lines.Read(body.data(), body.size());
    return lines;
}

bool Read(DigestList& list, const std::string& body, const ListLines& lines, const std::vector<size_t>& files)
{
    return list.Read(body.data(), body.size(), lines, files);
}

}  // namespace

TEST(DigestList, ReadsLfAndCrLfLinesAndKeepsTheTextByteForByte)
{
    for (const char* end : {"\n", "\r\n"}) {
        DigestList list;
        const std::string body = kA + "  7  a.dll" + end + kB + "  7  sub\\数据 x.txt  " + end;
        const auto lines = Manifest(std::string("a.dll") + end + "sub\\数据 x.txt  " + end);
        ASSERT_TRUE(Read(list, body, lines, {0, 1})) << end;
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ((*list.DigestOf(0))[0], 0xAA);
        EXPECT_EQ((*list.DigestOf(1))[0], 0x01);
        EXPECT_EQ((*list.DigestOf(1))[31], 0xEF);
    }
}

TEST(DigestList, AnEmptyListMatchesAManifestWithNothingFetched)
{
    DigestList list;
    ASSERT_TRUE(Read(list, "", Manifest("bin\n\nsub\n"), {}));
    EXPECT_EQ(list.DigestOf(0), nullptr);
}

TEST(DigestList, MalformedLinesRefuseTheWholeList)
{
    const auto lines = Manifest("a.dll\na.dll\n");
    const std::string good = kA + "  7  a.dll\n";
    for (const std::string& bad : {
             std::string(63, 'a') + "  7  a.dll\n",             // a digit short
             kA + "a  7  a.dll\n",                              // a digit more
             std::string(63, 'a') + "A  7  a.dll\n",            // upper case
             std::string(63, 'a') + "g  7  a.dll\n",            // not hex
             kA + " 7  a.dll\n",                                // one space
             kA + "  7 a.dll\n",
             kA + "  a.dll\n",                                  // no size, as the format without sizes
             kA + "  07  a.dll\n",                              // a leading zero
             kA + "  -7  a.dll\n",
             kA + "  +7  a.dll\n",
             kA + "  9223372036854775808  a.dll\n",             // past the largest size
             kA + "  7\n",                                      // no name
             kA + " *a.dll\n",                                  // sha256sum's binary mark
             "\\" + kA + "  7  a\\\\b.dll\n",                   // sha256sum's escaping
             kA + "\n",
             std::string("\n"),                                  // an empty line
         }) {
        DigestList list;
        EXPECT_FALSE(Read(list, good + bad, lines, {0, 1})) << bad;
        EXPECT_EQ(list.size(), 0u);
    }
}

TEST(DigestList, SizesAreReadToTheSecondSeparatorAndTheLineMayStartWithDigitsOrSpaces)
{
    const auto lines = Manifest("12  a.dll\n b.dll\n");
    DigestList list;
    ASSERT_TRUE(Read(list, kA + "  0  12  a.dll\n" + kB + "  9223372036854775807   b.dll\n", lines, {0, 1}));
    EXPECT_EQ(list.SizeOf(0), 0);
    EXPECT_EQ(list.SizeOf(1), 9223372036854775807LL);
    EXPECT_EQ(list.SizeOf(2), -1);
}

TEST(DigestList, BindNeedsExactlyTheFileLinesInOrder)
{
    const auto lines = Manifest("a.dll\nbin\nb.dll\nc.dll\n");
    const std::vector<size_t> files = {0, 2, 3};
    auto bind = [&](const std::string& body, const std::vector<size_t>& which) {
        DigestList list;
        return Read(list, body, lines, which);
    };
    const std::string a = kA + "  7  a.dll\n", b = kA + "  7  b.dll\n", c = kA + "  7  c.dll\n";
    EXPECT_TRUE(bind(a + b + c, files));
    EXPECT_TRUE(bind(a + b + kA + "  7  c.dll", files));             // a last line without LF
    EXPECT_FALSE(bind(a + c + b, files));                         // reordered
    EXPECT_FALSE(bind(a + b, files));                             // a line missing
    EXPECT_FALSE(bind(a + b + c + kA + "  7  d.dll\n", files));      // a line more
    EXPECT_FALSE(bind(a + kA + "  7  bin\n" + b + c, files));        // a line that is not fetched
    EXPECT_FALSE(bind(a + kA + "  7  B.dll\n" + c, files));          // names compare byte for byte
    EXPECT_FALSE(bind(a + kA + "  7  b.dll \n" + c, files));
    EXPECT_FALSE(bind(a + b + c, {0, 2, 9}));                     // no such line
    EXPECT_FALSE(bind(a + b + c, {2, 0, 3}));                     // files out of order
}

TEST(DigestList, DigestsBelongToTheirLinesOnly)
{
    const auto lines = Manifest("a.dll\nbin\na.dll\n");   // the same line twice, two digests
    DigestList list;
    ASSERT_TRUE(Read(list, kA + "  7  a.dll\n" + kB + "  7  a.dll\n", lines, {0, 2}));
    EXPECT_EQ((*list.DigestOf(0))[0], 0xAA);
    EXPECT_EQ(list.DigestOf(1), nullptr);
    EXPECT_EQ((*list.DigestOf(2))[0], 0x01);
    EXPECT_EQ(list.DigestOf(3), nullptr);
    EXPECT_EQ(list.SizeOf(1), -1);

    ASSERT_FALSE(Read(list, kA + "  7  a.dll\n", lines, {0, 2}));
    EXPECT_EQ(list.DigestOf(0), nullptr);   // a failed read leaves no digest behind
    EXPECT_EQ(list.SizeOf(0), -1);
}

TEST(PackedLines, ReadAsTheManifestReaderReads)
{
    const auto lines = Manifest("a\r\n\r\nb\rc\nlast");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.Line(0), "a");
    EXPECT_EQ(lines.Line(1), "");
    EXPECT_EQ(lines.Line(2), "bc");
    EXPECT_EQ(lines.Line(3), "last");
    EXPECT_EQ(Manifest("x\n\r").size(), 1u);   // CRs after the last LF are no line
    EXPECT_EQ(Manifest("").size(), 0u);
}

// Reading list.sha256's digest lines and binding them to the file lines of list.txt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/digest_list.h"
#include "engine/list_lines.h"

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
        const std::string body = kA + "  a.dll" + end + kB + "  sub\\数据 x.txt  " + end;
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
    const std::string good = kA + "  a.dll\n";
    for (const std::string& bad : {
             std::string(63, 'a') + "  a.dll\n",                 // a digit short
             kA + "a  a.dll\n",                                  // a digit more
             std::string(63, 'a') + "A  a.dll\n",                // upper case
             std::string(63, 'a') + "g  a.dll\n",                // not hex
             kA + " a.dll\n",                                    // one space
             kA + " *a.dll\n",                                   // sha256sum's binary mark
             "\\" + kA + "  a\\\\b.dll\n",                       // sha256sum's escaping
             kA + "\n",                                          // no name
             std::string("\n"),                                  // an empty line
         }) {
        DigestList list;
        EXPECT_FALSE(Read(list, good + bad, lines, {0, 1})) << bad;
        EXPECT_EQ(list.size(), 0u);
    }
}

TEST(DigestList, BindNeedsExactlyTheFileLinesInOrder)
{
    const auto lines = Manifest("a.dll\nbin\nb.dll\nc.dll\n");
    const std::vector<size_t> files = {0, 2, 3};
    auto bind = [&](const std::string& body, const std::vector<size_t>& which) {
        DigestList list;
        return Read(list, body, lines, which);
    };
    const std::string a = kA + "  a.dll\n", b = kA + "  b.dll\n", c = kA + "  c.dll\n";
    EXPECT_TRUE(bind(a + b + c, files));
    EXPECT_TRUE(bind(a + b + kA + "  c.dll", files));             // a last line without LF
    EXPECT_FALSE(bind(a + c + b, files));                         // reordered
    EXPECT_FALSE(bind(a + b, files));                             // a line missing
    EXPECT_FALSE(bind(a + b + c + kA + "  d.dll\n", files));      // a line more
    EXPECT_FALSE(bind(a + kA + "  bin\n" + b + c, files));        // a line that is not fetched
    EXPECT_FALSE(bind(a + kA + "  B.dll\n" + c, files));          // names compare byte for byte
    EXPECT_FALSE(bind(a + kA + "  b.dll \n" + c, files));
    EXPECT_FALSE(bind(a + b + c, {0, 2, 9}));                     // no such line
    EXPECT_FALSE(bind(a + b + c, {2, 0, 3}));                     // files out of order
}

TEST(DigestList, DigestsBelongToTheirLinesOnly)
{
    const auto lines = Manifest("a.dll\nbin\na.dll\n");   // the same line twice, two digests
    DigestList list;
    ASSERT_TRUE(Read(list, kA + "  a.dll\n" + kB + "  a.dll\n", lines, {0, 2}));
    EXPECT_EQ((*list.DigestOf(0))[0], 0xAA);
    EXPECT_EQ(list.DigestOf(1), nullptr);
    EXPECT_EQ((*list.DigestOf(2))[0], 0x01);
    EXPECT_EQ(list.DigestOf(3), nullptr);

    ASSERT_FALSE(Read(list, kA + "  a.dll\n", lines, {0, 2}));
    EXPECT_EQ(list.DigestOf(0), nullptr);   // a failed read leaves no digest behind
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
